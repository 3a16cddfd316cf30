// A file on another machine by its ssh:// name: names that cannot smuggle an
// option to ssh or a word to either shell, the text read through a real ssh
// client and server of the test's own (followed across rotation, compressed
// files decompressed here), ssh's own reason and status in the strip, a
// dropped connection that keeps its text and connects again on Reconnect,
// and nothing left running once the window is closed.
#include "FakeViewHost.h"
#include "file/SshName.h"
#include "file/TextFileDoc.h"
#include "tests/core/CompressUtil.h"
#include "tests/core/FollowUtil.h"
#include "tests/core/JournalUtil.h"
#include "tests/core/SshdUtil.h"
#include "tests/core/TestUtil.h"
#include "view/CommandIds.h"
#include "view/Profile.h"
#include "view/StringTable.h"
#include "view/TextFileView.h"

#include <algorithm>
#include <filesystem>

using followtest::PumpUntil;
using sshdtest::ProcessesNaming;
using sshdtest::ScopedClient;
using sshdtest::TestSshd;
using Problem = sshname::Problem;

namespace {

std::string TextOf(CTextFileDoc& doc)
{
    doc.IsReadyToShow();  // maps what was read
    const CMemoryMappedFile* file = doc.GetMappedFile();
    return file && file->View() ? std::string(reinterpret_cast<const char*>(file->View()), file->Size()) : "";
}

// What /bin/sh prints for `printf %s WORD`.
std::string ShellPrints(const std::string& word)
{
    return journaltest::OutputOf("printf %s " + word);
}

TEST(SshName, OnlyNamesThatCannotBeReadAsOptionsAreTaken)
{
    const struct {
        const char* name;
        Problem problem;
        const char* user = "";
        const char* host = "";
        const char* port = "";
        const char* path = "";
    } cases[] = {
        {"ssh://host/var/log/syslog", Problem::None, "", "host", "", "/var/log/syslog"},
        {"ssh://admin@db-1.example.org:2222/srv/app.log", Problem::None, "admin", "db-1.example.org", "2222",
         "/srv/app.log"},
        {"ssh://a_b.c@10.0.0.7/x", Problem::None, "a_b.c", "10.0.0.7", "", "/x"},
        {"ssh://[::1]:22/var/log/a b", Problem::None, "", "::1", "22", "/var/log/a b"},
        {"ssh://[fe80::1]/x", Problem::None, "", "fe80::1", "", "/x"},
        {"ssh://h/it's $(x) `y` \"z\" %41;&|*", Problem::None, "", "h", "", "/it's $(x) `y` \"z\" %41;&|*"},
        // Hostile names: an option where ssh reads a host or a user, a word for a shell, a second host.
        {"ssh://-oProxyCommand=touch%20x/p", Problem::BadHost},
        {"ssh://-p/p", Problem::BadHost},
        {"ssh://-l@host/p", Problem::BadUser},
        {"ssh://user@-oProxyCommand=x/p", Problem::BadHost},
        {"ssh://us er@host/p", Problem::BadUser},
        {"ssh://a@b@c/p", Problem::BadHost},
        {"ssh://host;touch x/p", Problem::BadHost},
        {"ssh://$(id)/p", Problem::BadHost},
        {"ssh://`id`/p", Problem::BadHost},
        {"ssh://host name/p", Problem::BadHost},
        {"ssh://'host'/p", Problem::BadHost},
        {"ssh://[::1;x]/p", Problem::BadHost},
        {"ssh://[::1/p", Problem::BadHost},
        {"ssh://[::1]x/p", Problem::BadHost},
        {"ssh://[-oX]/p", Problem::BadHost},
        {"ssh://@host/p", Problem::BadUser},
        {"ssh:///p", Problem::BadHost},
        {"ssh://host:/p", Problem::BadPort},
        {"ssh://host:0/p", Problem::BadPort},
        {"ssh://host:022/p", Problem::BadPort},
        {"ssh://host:65536/p", Problem::BadPort},
        {"ssh://host:-1/p", Problem::BadPort},
        {"ssh://host:22 -oX/p", Problem::BadPort},
        {"ssh://host:2:2/p", Problem::BadPort},
        {"ssh://host", Problem::BadPath},
        {"ssh://host/", Problem::BadPath},
        {"ssh://host/a\nb", Problem::BadPath},
        {"ssh://host/a\tb", Problem::BadPath},
        {"ssh://host/a\x7f", Problem::BadPath},
        {"SSH://host/p", Problem::BadHost},
        {"/var/log/ssh://host/p", Problem::BadHost},
    };
    for (const auto& c : cases) {
        sshname::Name name;
        EXPECT_EQ(sshname::Parse(c.name, name), c.problem) << c.name;
        if (c.problem != Problem::None)
            continue;
        EXPECT_EQ(name.user, c.user) << c.name;
        EXPECT_EQ(name.host, c.host) << c.name;
        EXPECT_EQ(name.port, c.port) << c.name;
        EXPECT_EQ(name.path, c.path) << c.name;
    }
    EXPECT_TRUE(sshname::IsSshName("ssh://x"));
    EXPECT_FALSE(sshname::IsSshName("ssh:/x"));
}

TEST(SshName, QuotingGivesTheShellTheTextAsWritten)
{
    const char* const texts[] = {
        "plain",     "it's",  "''",        "'\\''", "a b  c", "$(touch pwned)", "`touch pwned`",
        "\"$HOME\"", "\\n\\", "; | & > <", "*",     "-n",     "%s %d",          "\xc3\xa9t\xc3\xa9",
        "",
    };
    for (const char* text : texts)
        EXPECT_EQ(ShellPrints(sshname::QuoteForShell(text)), text) << text;
}

// A client that behaves like ssh for a command on this machine: options up to "--", the destination, then the
// remote command line run by a shell; it also writes what it was given, one argument a line.
class FakeClient : public followtest::WatchingTest {
protected:
    void SetUp() override
    {
        WatchingTest::SetUp();
        const std::string script = m_dir.Write("fake-ssh", "#!/bin/sh\n"
                                                           "printf '%s\\n' \"$@\" > '" +
                                                               m_dir.File("args") +
                                                               "'\n"
                                                               "while [ \"$1\" != -- ]; do shift; done\n"
                                                               "shift 2\n"
                                                               "exec /bin/sh -c \"$1\"\n");
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
        m_client = std::make_unique<ScopedClient>(script);
    }
    void TearDown() override
    {
        m_client.reset();
        WatchingTest::TearDown();
    }
    testutil::TempDir m_dir;
    std::unique_ptr<ScopedClient> m_client;
};

TEST_F(FakeClient, SshIsGivenTheNameInSeparateWordsAndTheRemoteCommandInOne)
{
    const std::string path = m_dir.Write("it's $(touch pwned) \"q\".log", "remote text\n");
    const std::string name = "ssh://ops_1@localhost:2022" + path;
    CTextFileDoc doc;
    std::string error;
    ASSERT_TRUE(doc.OnOpenSsh(name, error)) << error;
    EXPECT_TRUE(doc.IsSsh());
    EXPECT_TRUE(doc.IsCommand());
    EXPECT_EQ(doc.GetPathName(), name);
    ASSERT_TRUE(PumpUntil([&] { return TextOf(doc) == "remote text\n"; })) << TextOf(doc);
    const std::string args = testutil::ReadFile(m_dir.File("args"));
    EXPECT_EQ(args,
              "-o\nBatchMode=yes\n-n\n-T\n-p\n2022\n-l\nops_1\n--\nlocalhost\n" + sshname::RemoteCommand(path) + "\n");
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("pwned")));
    EXPECT_FALSE(std::filesystem::exists("pwned"));
}

TEST_F(FakeClient, ANameSshCannotBeRunOnRunsNothing)
{
    CTextFileDoc doc;
    std::string error = "x";
    EXPECT_FALSE(doc.OnOpenSsh("ssh://-oProxyCommand=sh/" + m_dir.File("f"), error));
    EXPECT_EQ(error, "");
    EXPECT_FALSE(doc.IsSsh());
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("args")));
}

class SshSource : public followtest::WatchingTest {
protected:
    void SetUp() override
    {
        WatchingTest::SetUp();
        m_sshd = std::make_unique<TestSshd>();
        // A machine that refuses private namespaces (a container without the capability) cannot host the
        // test's own server without touching /run: said and skipped, never run against the machine's paths.
        if (m_sshd->Problem().find("unshare: ") != std::string::npos &&
            m_sshd->Problem().find("Operation not permitted") != std::string::npos)
            GTEST_SKIP() << m_sshd->Problem();
        ASSERT_EQ(m_sshd->Problem(), "");
        m_client = std::make_unique<ScopedClient>(m_sshd->ClientCommand());
    }
    void TearDown() override
    {
        m_client.reset();
        if (m_sshd) {
            const std::string dir = m_sshd->Dir();
            EXPECT_TRUE(m_sshd->Stop()) << "left running: " << ProcessesNaming(dir).size();
        }
        m_sshd.reset();
        WatchingTest::TearDown();
    }
    // Whether no process names the path any more (the client and the remote tail both do) and no session is
    // left on the server.
    bool NothingRunsWithin(const std::string& path, int ms)
    {
        return PumpUntil([&] { return ProcessesNaming(path).empty() && m_sshd->Sessions().empty(); }, ms);
    }
    std::unique_ptr<TestSshd> m_sshd;
    std::unique_ptr<ScopedClient> m_client;
};

TEST_F(SshSource, TheRemoteFileIsFollowedAcrossRotationAndClosingEndsBothSides)
{
    const std::string path = m_sshd->File("app.log");
    std::ofstream(path) << "one\n";
    {
        CTextFileDoc doc;
        std::string error;
        ASSERT_TRUE(doc.OnOpenSsh(m_sshd->Name(path), error)) << error;
        ASSERT_TRUE(PumpUntil([&] { return TextOf(doc) == "one\n"; })) << TextOf(doc) << doc.SshErrors();
        std::ofstream(path, std::ios::app) << "two\n";
        ASSERT_TRUE(PumpUntil([&] { return TextOf(doc) == "one\ntwo\n"; })) << TextOf(doc);
        std::filesystem::rename(path, path + ".1");
        std::ofstream(path) << "three\n";
        // tail's note of the rotation goes to the standard error, never into the text.
        ASSERT_TRUE(PumpUntil([&] { return TextOf(doc) == "one\ntwo\nthree\n"; })) << TextOf(doc);
        EXPECT_EQ(doc.GetSource()->GetProgress().state, CStreamSource::State::Running);
        EXPECT_GE(ProcessesNaming(path).size(), 2U) << "the client and the remote tail";
        EXPECT_EQ(m_sshd->Sessions().size(), 1U);
    }
    // SIGTERM at once reaches the client; the server ends the session and its tail when the connection goes.
    EXPECT_TRUE(NothingRunsWithin(path, 4000)) << ProcessesNaming(path).size();
}

TEST_F(SshSource, HostilePathsAreReadAsWritten)
{
    const char* const names[] = {
        "it's.log",
        "$(touch pwned).log",
        "`touch pwned`.log",
        "a b  \"c\".log",
        "x; touch pwned #.log",
        "back\\slash '\\'' .log",
        "-n",
        "*",
        "%s%n.log",
    };
    for (const char* file : names) {
        const std::string path = m_sshd->File(file);
        std::ofstream(path) << "text of " << file << "\n";
        CTextFileDoc doc;
        std::string error;
        ASSERT_TRUE(doc.OnOpenSsh(m_sshd->Name(path), error)) << file << ": " << error;
        EXPECT_TRUE(PumpUntil([&] { return TextOf(doc) == std::string("text of ") + file + "\n"; }))
            << file << ": " << TextOf(doc) << " / " << doc.SshErrors();
    }
    EXPECT_FALSE(std::filesystem::exists(m_sshd->File("pwned")));
    EXPECT_FALSE(std::filesystem::exists("/root/pwned"));
}

TEST_F(SshSource, CompressedRemoteFilesAreDecompressedHereAndEnd)
{
    const std::string text = "first line\nsecond line\n";
    for (const Compression c : {Compression::Gzip, Compression::Xz, Compression::Zstd, Compression::Bzip2}) {
        const std::string path = m_sshd->File("old.log.z");
        std::ofstream(path, std::ios::binary | std::ios::trunc) << compresstest::Compress(c, text);
        CTextFileDoc doc;
        std::string error;
        ASSERT_TRUE(doc.OnOpenSsh(m_sshd->Name(path), error)) << error;
        ASSERT_TRUE(PumpUntil([&] { return doc.GetSource()->GetProgress().state != CStreamSource::State::Running; }))
            << static_cast<int>(c);
        EXPECT_TRUE(doc.IsDecompressed()) << static_cast<int>(c);
        EXPECT_EQ(TextOf(doc), text) << static_cast<int>(c);
        int status = -1;
        EXPECT_TRUE(doc.CommandEnded(status, 5000));
        EXPECT_EQ(status, 0);
    }
}

// The view on a document by an ssh name: the strip's texts and Reconnect, as the user sees and takes them.
class SshView : public SshSource {
protected:
    void Open(const std::string& name)
    {
        std::string error;
        ASSERT_TRUE(m_doc.OnOpenSsh(name, error)) << error;
        m_host.port.Resize(5, 60);
        m_host.watch = true;
        m_view = std::make_unique<CTextFileView>(&m_doc, &m_host, nullptr, m_profile);
        ASSERT_TRUE(m_view->OnCreate());
    }
    void TearDown() override
    {
        m_view.reset();
        m_doc.OnCloseDocument();
        SshSource::TearDown();
    }
    std::string Strip() const { return m_host.strip.empty() ? "" : m_host.strip.back(); }
    static std::string WithReconnect(const std::string& text)
    {
        return text + " [" + text::ReconnectAction + ":" + std::to_string(cmd::RunCommandAgain) + "]";
    }
    CTextFileDoc m_doc;
    viewtest::FakeHost m_host;
    CMemoryProfile m_profile;
    std::unique_ptr<CTextFileView> m_view;
};

TEST_F(SshView, WhatSshSaysOnFailureIsInTheStripWithItsStatus)
{
    const std::string missing = m_sshd->File("missing.log");
    const int closed = sshdtest::FreePort();
    const struct {
        const char* name;
        std::string client;
        std::string sshName;
        std::string said;
    } cases[] = {
        {"no such file", m_sshd->ClientCommand(), m_sshd->Name(missing),
         "ssh ended with status 1: tail: cannot open '" + missing + "' for reading: No such file or directory"},
        {"a key the server refuses", m_sshd->ClientCommand("other_key"), m_sshd->Name(missing),
         "ssh ended with status 255: root@127.0.0.1: Permission denied (publickey)."},
        {"a host key not known", m_sshd->ClientCommand("user_key", false), m_sshd->Name(missing),
         "ssh ended with status 255: Host key verification failed."},
        {"no server on the port", m_sshd->ClientCommand(), "ssh://127.0.0.1:" + std::to_string(closed) + missing,
         "ssh ended with status 255: ssh: connect to host 127.0.0.1 port " + std::to_string(closed) +
             ": Connection refused"},
    };
    for (const auto& c : cases) {
        ScopedClient client(c.client);
        Open(c.sshName);
        EXPECT_TRUE(PumpUntil([&] { return m_host.Said(WithReconnect(c.said)) == 1; }, 15000))
            << c.name << ": " << Strip();
        EXPECT_FALSE(m_host.frameDestroyed) << c.name;
        EXPECT_TRUE(m_view->IsLoaded()) << c.name;
        m_view.reset();
        m_doc.OnCloseDocument();
        m_host.strip.clear();
    }
}

TEST_F(SshView, ADroppedConnectionKeepsItsTextAndReconnectReadsAgain)
{
    const std::string path = m_sshd->File("app.log");
    std::ofstream(path) << "one\n";
    Open(m_sshd->Name(path));
    ASSERT_TRUE(PumpUntil([&] { return m_view->IsLoaded() && m_host.Rows() == std::vector<std::string>{"one"}; }))
        << Strip();
    const std::vector<int> sessions = m_sshd->Sessions();
    ASSERT_EQ(sessions.size(), 1U);
    ::kill(sessions.front(), SIGKILL);
    ASSERT_TRUE(PumpUntil([&] { return Strip().rfind("ssh ended with status 255: ", 0) == 0; })) << Strip();
    EXPECT_NE(Strip().find("[Reconnect:"), std::string::npos) << Strip();
    EXPECT_EQ(m_host.Rows(), std::vector<std::string>{"one"});
    std::ofstream(path, std::ios::app) << "two\n";
    ASSERT_TRUE(m_view->OnCommand(cmd::RunCommandAgain));
    ASSERT_TRUE(PumpUntil([&] { return m_host.Rows() == std::vector<std::string>{"one", "two"}; }));
    EXPECT_EQ(m_host.Said(text::SshReconnects), 1U);
    // Followed again: the new connection is live.
    std::ofstream(path, std::ios::app) << "three\n";
    ASSERT_TRUE(PumpUntil([&] { return m_host.Rows() == std::vector<std::string>{"one", "two", "three"}; }));
    EXPECT_EQ(m_sshd->Sessions().size(), 1U);
}

TEST_F(SshView, ReconnectOpensAFileThatWasMissing)
{
    const std::string path = m_sshd->File("later.log");
    // A wrapper as a user may set one: it takes its time, so the window says what it reads meanwhile.
    const std::string wrapper = m_sshd->File("slow-ssh");
    std::ofstream(wrapper) << "#!/bin/sh\nsleep 0.5\nexec " << m_sshd->ClientCommand() << " \"$@\"\n";
    std::filesystem::permissions(wrapper, std::filesystem::perms::owner_all);
    ScopedClient slow(wrapper);
    Open(m_sshd->Name(path));
    ASSERT_TRUE(PumpUntil([&] { return !m_host.strip.empty(); }));
    EXPECT_EQ(m_host.strip.front(), "Reading " + m_sshd->Name(path) + " over ssh: 0 bytes so far");
    ASSERT_TRUE(PumpUntil([&] { return Strip().rfind("ssh ended with status 1: tail: cannot open", 0) == 0; }))
        << Strip();
    std::ofstream(path) << "arrived\n";
    ASSERT_TRUE(m_view->OnCommand(cmd::RunCommandAgain));
    ASSERT_TRUE(PumpUntil([&] { return m_host.Rows() == std::vector<std::string>{"arrived"}; })) << Strip();
}

}  // namespace
