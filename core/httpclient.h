// The HTTP client behind modPub::httpGetText. It lives in a module of its own,
// loaded with the first request: Qt Network and the libraries it pulls in
// would otherwise be loaded at every start-up, for a request that many runs
// never make.
#pragma once

#include <QString>
#include <QtPlugin>

class HttpClient
{
public:
    virtual ~HttpClient() = default;
    // GET with "If-Modified-Since: 0", waiting for the answer as for a
    // blocking request (user input is held meanwhile); the body as UTF-8
    // whatever the status. The empty text when the request cannot be made,
    // gets no answer within timeoutMs, or the page is larger than maxBytes.
    virtual QString getText(const QString &address, int timeoutMs, qint64 maxBytes) = 0;
};

#define HttpClient_iid "org.lorvanta.HttpClient/1"
Q_DECLARE_INTERFACE(HttpClient, HttpClient_iid)
