#pragma once

#include "http_request.h"

// One GET, run to its end on the calling pool thread with its own network manager and event
// loop. The body goes to the callback (when given); every failure, including an exception thrown
// by the callback, ends the task silently.
void RunHTTPGetTask(const QString &url, const TzCallbackProc &callback,
                    const TzHTTP_Request &settings);
