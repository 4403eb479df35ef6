// The program's one HTTP client, behind modPub::httpGetText and the audio
// engine's online speech. It lives in a module of its own, loaded with the
// first request: Qt Network and the libraries it pulls in would otherwise be
// loaded at every start-up, for a request that many runs never make.
#pragma once

#include "core/modules.h"

#include <QByteArray>
#include <QString>
#include <QtPlugin>

#include <functional>
#include <memory>

class QObject;

// What one request brought.
struct HttpAnswer {
    int status = 0; // the HTTP status; 0 when no answer came
    QByteArray body; // the whole body; empty unless it arrived complete and without error
    QByteArray contentType;
    bool timedOut = false; // the time limit ended it
};

// A request under way; deleting it ends the request without an answer.
class HttpCall
{
public:
    virtual ~HttpCall() = default;
};

class HttpClient
{
public:
    virtual ~HttpClient() = default;
    // GET with "If-Modified-Since: 0", waiting for the answer as for a
    // blocking request (user input is held meanwhile); the body as UTF-8
    // whatever the status. The empty text when the request cannot be made,
    // gets no answer within timeoutMs, or the page is larger than maxBytes.
    virtual QString getText(const QString &address, int timeoutMs, qint64 maxBytes) = 0;
    // GET without waiting, on the application's thread: done(answer) runs
    // once, from its event loop, unless the call was deleted or `context`
    // is gone first. A body that grows beyond maxBytes ends the request (no
    // body then); so does the time limit (timedOut). Only http and https
    // addresses with a host are fetched: for anything else done comes with
    // the empty answer.
    virtual std::unique_ptr<HttpCall> get(const QString &address, int timeoutMs, qint64 maxBytes,
                                          QObject *context, std::function<void(const HttpAnswer &)> done)
        = 0;
};

Q_DECLARE_INTERFACE(HttpClient, HttpClient_iid)
