// Modules: parts of the program in shared libraries of their own, loaded the
// first time they are needed: the HTTP client, the audio engine, the web view,
// printing and the progress chart. Linking them into the program would make
// every start-up pay for libraries that many runs never use (Qt Network, Qt
// Multimedia and espeak-ng, Qt WebEngine, Qt PrintSupport, Qt Charts).
//
// A window asks for a module by its interface: modules::get<SpeechEngineFactory>().
#pragma once

#include <QString>
#include <QStringList>
#include <QtPlugin>

class QObject;

// The interface ids, one per module: its plugin object declares it
// (Q_PLUGIN_METADATA) and the interface's header (Q_DECLARE_INTERFACE).
#define HttpClient_iid "org.lorvanta.HttpClient/2"
#define SpeechEngineFactory_iid "org.lorvanta.SpeechEngineFactory/2"
#define WebViewFactory_iid "org.lorvanta.WebViewFactory/1"
#define SheetPrintingFactory_iid "org.lorvanta.SheetPrintingFactory/1"
#define ProgressChartFactory_iid "org.lorvanta.ProgressChartFactory/1"

namespace modules {
struct Module {
    const char *iid;
    const char *fileName;
};
// Every module of the program.
inline constexpr Module list[] = {
    {HttpClient_iid, "lorvanta_http.so"},
    {SpeechEngineFactory_iid, "lorvanta_speech.so"},
    {WebViewFactory_iid, "lorvanta_webview.so"},
    {SheetPrintingFactory_iid, "lorvanta_print.so"},
    {ProgressChartFactory_iid, "lorvanta_charts.so"},
};

// File name of the module that serves the interface `iid`; empty for none.
QString fileNameOf(const char *iid);

// The module's plugin object, loading it on the first call; nullptr when the
// module is missing or cannot be loaded. The result is kept for the run, a
// failure included.
QObject *instance(const QString &fileName);
// Whether a module file may be loaded: the file and its folder are owned by
// root or by the user and writable by no one else.
bool trusted(const QString &path);
// Whether instance() has been asked for this module yet.
bool attempted(const QString &fileName);
// The folders searched for modules, in order, each ending in "/".
QStringList folders();
// A folder searched before the program's own (the tests' build folder).
void setSearchFolder(const QString &folder);

// The module serving Interface, loaded on the first call; nullptr when it
// is missing, cannot be loaded or is not to be trusted.
template <class Interface> Interface *get()
{
    return qobject_cast<Interface *>(instance(fileNameOf(qobject_interface_iid<Interface *>())));
}
template <class Interface> QString fileName() { return fileNameOf(qobject_interface_iid<Interface *>()); }
template <class Interface> bool attempted() { return attempted(fileName<Interface>()); }
} // namespace modules
