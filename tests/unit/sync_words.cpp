// A failed sync names the part the user can look at, from the status or the client's words.
#include <gtest/gtest.h>

#include <string>

#include "sync/sync_words.h"

TEST(SyncWords, AFailureNamesThePartThatFailed)
{
    const struct {
        int status;
        const char* error;
        SyncFault fault;
    } cases[] = {
        {401, "", SyncFault::Login},
        {403, "", SyncFault::Calendar},
        {404, "", SyncFault::Calendar},
        {500, "", SyncFault::Server},
        {507, "", SyncFault::Server},
        {0, "服务器的证书无法验证，安全连接已中止", SyncFault::Certificate},
        {0, "找不到服务器的地址", SyncFault::Address},
        {0, "只能通过 https 连接服务器（http 只用于本机）", SyncFault::Address},
        {0, "服务器给出的地址不是一个网址", SyncFault::Server},
        {0, "服务器没有应答", SyncFault::Server},
        {0, "服务器应答超时", SyncFault::Server},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FaultOf(c.status, c.error), c.fault) << c.status << " " << c.error;
    EXPECT_EQ(RequestFaultWords(401, ""), "用户名或密码有问题：服务器不接受用户名或密码 (401)");
}
