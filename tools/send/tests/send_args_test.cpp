#include "tools/send/send_args.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vistrel {
namespace {

using Status = SendArguments::Status;

SendArguments Parse(std::vector<std::string> args) {
    return ParseSendArguments(args);
}

TEST(ParseSendArguments, JoinsTheWordsIntoOneCommandText) {
    SendArguments a = Parse({"SetPos", "10", "20", "640", "480"});
    ASSERT_EQ(a.status, Status::kSend) << a.error;
    EXPECT_EQ(a.options.text, "SetPos 10 20 640 480");
    EXPECT_EQ(a.options.instance, 1);
    EXPECT_EQ(a.options.waitSeconds, 0u);

    SendArguments commas = Parse({"--instance", "3", "SetPos,10,20,640,480"});
    ASSERT_EQ(commas.status, Status::kSend) << commas.error;
    EXPECT_EQ(commas.options.text, "SetPos,10,20,640,480");
    EXPECT_EQ(commas.options.instance, 3);

    SendArguments lower = Parse({"-i", "12", "--wait", "5", "exit"});
    ASSERT_EQ(lower.status, Status::kSend) << lower.error;
    EXPECT_EQ(lower.options.instance, 12);
    EXPECT_EQ(lower.options.waitSeconds, 5u);

    SendArguments all = Parse({"--all", "--wait-exit", "30", "Exit"});
    ASSERT_EQ(all.status, Status::kSend) << all.error;
    EXPECT_TRUE(all.options.all);
    EXPECT_EQ(all.options.exitWaitSeconds, 30u);
    EXPECT_EQ(all.options.waitSeconds, 0u);
}

TEST(ParseSendArguments, OptionsComeBeforeTheCommand) {
    SendArguments a = Parse({"Record", "--instance", "2"});
    ASSERT_EQ(a.status, Status::kSend);
    EXPECT_EQ(a.options.text, "Record --instance 2");
    EXPECT_EQ(a.options.instance, 1);
    SendArguments dashed = Parse({"--", "Exit"});
    ASSERT_EQ(dashed.status, Status::kSend);
    EXPECT_EQ(dashed.options.text, "Exit");
}

TEST(ParseSendArguments, RefusesWhatTheRecorderWouldNotUnderstand) {
    EXPECT_EQ(Parse({}).status, Status::kBad);
    EXPECT_EQ(Parse({"--instance", "2"}).status, Status::kBad);  // no word
    EXPECT_EQ(Parse({"Recording"}).status, Status::kBad);
    EXPECT_NE(Parse({"Recording"}).error.find("Recording"), std::string::npos);
    EXPECT_EQ(Parse({"--raw", "Recording"}).status, Status::kSend);
    EXPECT_EQ(Parse({"Exit", std::string(300, 'x')}).status, Status::kBad);
    EXPECT_EQ(Parse({"--bogus", "Exit"}).status, Status::kBad);
    for (const char* n : {"0", "-1", "abc", "3x", "", "99999999999", "2147483648"}) {
        EXPECT_EQ(Parse({"--instance", n, "Exit"}).status, Status::kBad) << n;
    }
    EXPECT_EQ(Parse({"--instance", "2147483647", "Exit"}).status, Status::kSend);
    EXPECT_EQ(Parse({"--instance"}).status, Status::kBad);
    EXPECT_EQ(Parse({"--wait", "3601", "Exit"}).status, Status::kBad);
    EXPECT_EQ(Parse({"--wait-exit", "x", "Exit"}).status, Status::kBad);
    EXPECT_EQ(Parse({"--all", "--instance", "2", "Exit"}).status, Status::kBad);
}

TEST(ParseSendArguments, HelpWinsOverEverythingBeforeTheCommand) {
    EXPECT_EQ(Parse({"--help"}).status, Status::kHelp);
    EXPECT_EQ(Parse({"--instance", "2", "-h"}).status, Status::kHelp);
    EXPECT_NE(std::string(kSendUsage).find("--instance N"), std::string::npos);
}

}  // namespace
}  // namespace vistrel
