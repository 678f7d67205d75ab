#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>

#include "ConService/LanServer.h"
#include "ConService/ShareRecord.h"
#include "platform/ChildProcess.h"
#include "platform/FileSystem.h"
#include "support/HttpProbe.h"
#include "support/PhoneClient.h"
#include "support/ProcessHelpers.h"
#include "support/Sandbox.h"

namespace brisel {
namespace {

class ServeCommandTest : public ::testing::Test {
 protected:
  std::vector<std::string> Argv(std::vector<std::string> args) {
    args.insert(args.begin(),
                {test::BuiltProgram("briselvr"), "--program-folder", sandbox.Folder()});
    return args;
  }
  // Reads the child's output until `text` appears or the child ends.
  bool WaitForOutput(ChildProcess& child, const std::string& text, std::string* output) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (output->find(text) == std::string::npos) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      if (child.Read(output, 200) == ChildProcess::ReadResult::End) {
        return output->find(text) != std::string::npos;
      }
    }
    return true;
  }
  // `briselvr serve --address 127.0.0.1` and `options`, until it says it serves; false (its
  // output so far in `output`) when it does not get there.
  bool StartServing(ChildProcess& child, const std::vector<std::string>& options,
                    std::string* output) {
    std::vector<std::string> argv = Argv({"serve", "--address", "127.0.0.1"});
    argv.insert(argv.end(), options.begin(), options.end());
    return child.Start(argv) && WaitForOutput(child, "serving on 127.0.0.1\n", output);
  }
  // Ends it as Ctrl+C does and reads the rest of its output; false when it is still running
  // after 10 s.
  bool StopServing(ChildProcess& child, std::string* output) {
    child.Kill(SIGTERM);
    while (child.Read(output, 5000, 65536) == ChildProcess::ReadResult::Data) {
    }
    return child.Wait(10000);
  }

  test::Sandbox sandbox;
};

TEST_F(ServeCommandTest, PhoneFindsListsAndStreamsUntilTheSignal) {
  std::string video(100000, 'v');
  for (std::size_t i = 0; i < video.size(); ++i) video[i] = static_cast<char>(i % 251);
  const std::string path = sandbox.WriteFile("videos/clip.mp4", video);
  ASSERT_EQ(RunProcess(Argv({"add", path}), 30000).exitCode, 0);
  const std::string key = ShareRecord::MakeKey(path);

  int datagrams = test::OpenDatagramListener();
  ASSERT_GE(datagrams, 0);
  ChildProcess child;
  ASSERT_TRUE(child.Start(Argv({"serve", "--address", "127.0.0.1"})));
  std::string output;
  ASSERT_TRUE(WaitForOutput(child, "serving on 127.0.0.1\n", &output)) << output;

  auto datagram = test::NextDatagram(datagrams, 3000);
  close(datagrams);
  ASSERT_TRUE(datagram);
  auto expected = LanServer::BuildDiscoveryDatagram("127.0.0.1");
  EXPECT_EQ(*datagram, std::string(expected.begin(), expected.end()));

  test::PhoneClient phone;
  ASSERT_TRUE(phone.Connect("127.0.0.1"));
  test::PhoneListReply list1 = phone.RequestList(1, 0);
  ASSERT_EQ(list1.entries.size(), 1u);
  EXPECT_EQ(list1.entries[0].key, key);
  EXPECT_EQ(list1.entries[0].name, "clip.mp4");
  EXPECT_EQ(phone.RequestList(1, list1.stamp).raw.size(), 15u);
  EXPECT_EQ(phone.RequestList(2, list1.stamp).raw.size(), 15u);

  test::HttpReply part = test::HttpRequest("GET", "/" + key, {"Range: bytes=100-199"});
  EXPECT_EQ(part.status, 206);
  EXPECT_EQ(part.body, video.substr(100, 100));
  // Headset players find it too.
  test::HttpReply library = test::HttpRequest("GET", "/deovr");
  EXPECT_EQ(library.status, 200);
  EXPECT_NE(library.body.find("\"video_url\":\"http://127.0.0.1:11717/deovr/" + key),
            std::string::npos)
      << library.body;

  unlink(path.c_str());  // shutdown rewrites the record with the fresh flag
  child.Kill(SIGTERM);
  ASSERT_TRUE(child.Wait(10000));
  EXPECT_EQ(child.ExitCode(), 0);
  EXPECT_EQ(sandbox.ReadFile("file_root/" + key)[5], 0);
  test::PhoneClient after;
  EXPECT_FALSE(after.Connect("127.0.0.1"));
}

// Standard output is a pipe nobody reads: a flood of list requests is answered all the same.
// Diagnostics are written only on request, and then dropped while the pipe is full.
TEST_F(ServeCommandTest, AnUnreadOutputPipeNeverDelaysAListReply) {
  for (bool verbose : {false, true}) {
    SCOPED_TRACE(verbose ? "--verbose" : "no options");
    ChildProcess child;
    std::string output;
    ASSERT_TRUE(StartServing(
        child, verbose ? std::vector<std::string>{"--verbose"} : std::vector<std::string>{},
        &output))
        << output;

    // Each request is about 55 bytes of diagnostics: 6000 of them fill a pipe five times.
    test::PhoneClient phone;
    ASSERT_TRUE(phone.Connect("127.0.0.1"));
    for (int i = 0; i < 6000; ++i) {
      const auto start = std::chrono::steady_clock::now();
      ASSERT_TRUE(phone.RequestList(1, 0, 2000).ok) << "request " << i;
      ASSERT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << i;
    }
    phone.Close();
    ASSERT_TRUE(StopServing(child, &output));
    EXPECT_EQ(child.ExitCode(), 0) << output;
    const std::size_t dumps = [&] {
      std::size_t n = 0;
      for (std::size_t p = output.find("请求数据"); p != std::string::npos;
           p = output.find("请求数据", p + 1))
        ++n;
      return n;
    }();
    if (verbose) {
      EXPECT_GT(dumps, 0u);
      EXPECT_LT(dumps, 6000u);
      EXPECT_NE(output.find("diagnostic lines dropped"), std::string::npos);
    } else {
      EXPECT_EQ(dumps, 0u);
      EXPECT_LT(output.size(), 1000u) << output;
    }
  }
}

// Scripts of earlier versions pass --quiet: it is accepted and changes nothing, since the
// diagnostics come only with --verbose, in either order. A misspelt option stays an error.
TEST_F(ServeCommandTest, QuietIsAcceptedAndDiagnosticsComeOnlyWithVerbose) {
  struct Case {
    std::vector<std::string> options;
    bool diagnostics;
  } cases[] = {
      {{"--quiet"}, false},
      {{"--quiet", "--verbose"}, true},
      {{"--verbose", "--quiet", "--no-dlna"}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options.front() + " " + c.options.back());
    ChildProcess child;
    std::string output;
    ASSERT_TRUE(StartServing(child, c.options, &output)) << output;
    test::PhoneClient phone;
    ASSERT_TRUE(phone.Connect("127.0.0.1"));
    ASSERT_TRUE(phone.RequestList(1, 0, 2000).ok);
    // The request's dump, when there is one, is written before the process ends.
    if (c.diagnostics) {
      EXPECT_TRUE(WaitForOutput(child, "请求数据", &output)) << output;
    }
    phone.Close();
    ASSERT_TRUE(StopServing(child, &output));
    EXPECT_EQ(child.ExitCode(), 0) << output;
    EXPECT_EQ(output.find("请求数据") != std::string::npos, c.diagnostics) << output;
  }

  ProcessResult misspelt = RunProcess(Argv({"serve", "--address", "127.0.0.1", "--quite"}), 30000);
  EXPECT_EQ(misspelt.exitCode, 2) << misspelt.output;
  EXPECT_NE(misspelt.output.find("unexpected argument --quite"), std::string::npos);
  ProcessResult help = RunProcess(Argv({"serve", "--help"}), 30000);
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.output.find("--quiet"), std::string::npos) << help.output;
}

TEST_F(ServeCommandTest, ServiceThatCannotStartEndsWithAClearMessage) {
  int squatter = test::OpenStreamListener(11718);
  ASSERT_GE(squatter, 0);
  struct Case {
    const char* address;
    int exitCode;
    const char* message;
  } cases[] = {
      {"127.0.0.1", 1, "11718: Address already in use"},
      {"10.255.255.1", 1, "Cannot assign requested address"},
      {"10.255.255", 2, "not an IPv4 address"},
  };
  for (const Case& c : cases) {
    ProcessResult result = RunProcess(Argv({"serve", "--address", c.address}), 30000);
    EXPECT_EQ(result.exitCode, c.exitCode) << c.address << result.output;
    EXPECT_NE(result.output.find(c.message), std::string::npos) << result.output;
    EXPECT_EQ(result.output.find("serving on"), std::string::npos) << result.output;
  }
  close(squatter);
}

TEST_F(ServeCommandTest, DlnaMediaServerRunsUnlessTurnedOff) {
  struct Case {
    const char* name;
    const char* config;  // config.ini, or "" for none
    std::vector<std::string> extra;
    bool dlna;
  } cases[] = {
      {"default", "", {}, true},
      {"--no-dlna", "", {"--no-dlna"}, false},
      {"DlnaServer=0", "[NormalSetting]\nDlnaServer=0\n", {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (*c.config) sandbox.WriteFile("config.ini", c.config);
    std::vector<std::string> args = {"serve", "--address", "127.0.0.1"};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    ChildProcess child;
    ASSERT_TRUE(child.Start(Argv(args)));
    std::string output;
    ASSERT_TRUE(WaitForOutput(child, "serving on 127.0.0.1\n", &output)) << output;
    if (c.dlna) {
      ASSERT_TRUE(WaitForOutput(child, "DLNA media server: http://127.0.0.1:11719/", &output))
          << output;
    }
    test::HttpConnection description;
    EXPECT_EQ(description.Connect("127.0.0.1", 11719, 1000), c.dlna);
    child.Kill(SIGTERM);
    ASSERT_TRUE(child.Wait(10000));
    EXPECT_EQ(child.ExitCode(), 0);
    if (!c.dlna) {
      EXPECT_EQ(output.find("DLNA"), std::string::npos) << output;
    }
    RemoveFile(sandbox.Path("config.ini"));
  }
}

}  // namespace
}  // namespace brisel
