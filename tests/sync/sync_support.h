// What the sync tests and benchmark share: the server of radicale.sh, xandikos.sh or cyrus.sh,
// reached by the sync's own client and by shell commands (curl) that the script runs for the
// test.
#pragma once

#include <string>

#include "sync/caldav_client.h"

// ALMANIX_DAV_* (and ALMANIX_TLS_URL, ALMANIX_ODD_URL) of the server script; "" when unset.
std::string DavEnv(const char* name);
// A client on the script's server with a fresh calendar named name (MKCALENDAR); false when
// that failed (err says why).
bool OpenFreshCalendar(CCalDavClient& client, const std::string& name, std::string& err,
    const std::string& password = DavEnv("ALMANIX_DAV_PASS"));
// Runs a bash command line beside the server; its output, rc set to its exit status.
std::string Shell(const std::string& command, int& rc);
// Stops ("stop") or starts again ("start") the server and waits until it is so.
bool ControlServer(const char* what);
// One sync of the memo folder (the current directory) with the client's calendar.
SyncReport SyncNow(CCalDavClient& client, SyncAnswer answer = SyncAnswer::None);
