// A failed sync in the user's words: first the part the user can check or fix (the address,
// the user or password, the calendar, the server's certificate, the server), then the details.
#pragma once

#include <string>

enum class SyncFault { Address, Login, Calendar, Certificate, Server };

// The part a failed request names: 401 the user or password, 403, 404 and 410 the calendar,
// no answer (status 0) what the client's error says, anything else the server.
SyncFault FaultOf(int status, const std::string& error);
// "<part>有问题：<details>" (program bytes).
std::string FaultWords(SyncFault fault, const std::string& details);
// Both, with SyncStatusWords as the details.
std::string RequestFaultWords(int status, const std::string& error);
