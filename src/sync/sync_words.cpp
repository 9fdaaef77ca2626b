#include "sync/sync_words.h"

#include "sync/sync_engine.h"

SyncFault FaultOf(int status, const std::string& error)
{
    switch (status) {
    case 0:
        // The client's words for a refused certificate and for a name that does not resolve.
        if (error.find("证书") != std::string::npos)
            return SyncFault::Certificate;
        if (error.find("服务器给出") != std::string::npos)  // an address the server gave
            return SyncFault::Server;
        if (error.find("地址") != std::string::npos || error.find("https") != std::string::npos)
            return SyncFault::Address;
        return SyncFault::Server;
    case 401:
        return SyncFault::Login;
    case 403:
    case 404:
    case 410:
        return SyncFault::Calendar;
    default:
        return SyncFault::Server;
    }
}

std::string FaultWords(SyncFault fault, const std::string& details)
{
    const char* part = "服务器";
    switch (fault) {
    case SyncFault::Address:
        part = "服务器地址";
        break;
    case SyncFault::Login:
        part = "用户名或密码";
        break;
    case SyncFault::Calendar:
        part = "日历";
        break;
    case SyncFault::Certificate:
        part = "服务器的证书";
        break;
    case SyncFault::Server:
        break;
    }
    return std::string(part) + "有问题：" + details;
}

std::string RequestFaultWords(int status, const std::string& error)
{
    return FaultWords(FaultOf(status, error), SyncStatusWords(status, error));
}
