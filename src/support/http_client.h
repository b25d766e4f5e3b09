#pragma once

#include "http_request.h"

// One GET as the HTTP thread runs it.
struct TzHttpGetJob {
    QString Url;
    TzHTTP_Request Settings; // the proxy fields as they were when the request started
    TzHttpLimits Limits;
    TzCallbackProc Callback;
};

// Hands the job to the process's HTTP thread (started on first use, stopped as the application
// ends) and returns at once. ended() runs on that thread once the request is over, whatever
// its outcome, after the callback.
void StartHttpGet(TzHttpGetJob job, std::function<void()> ended);
