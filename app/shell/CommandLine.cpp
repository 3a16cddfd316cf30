#include "app/shell/CommandLine.h"

#include "platform/AppInfo.h"
#include "view/BuildDate.h"

CCommandLineInfo ParseCommandLine(int argc, const char* const* argv)
{
    CCommandLineInfo info;
    bool options = true;
    bool help = false;
    bool version = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (options && arg == "--") {
            options = false;
        } else if (options && arg == "--help") {
            help = true;
        } else if (options && arg == "--version") {
            version = true;
        } else if (options && arg.rfind("--command=", 0) == 0) {
            info.m_commands.push_back(arg.substr(10));
        } else if (options && arg == "--merge") {
            info.m_bMerge = true;
        } else if (options && arg == "--rotated") {
            info.m_bRotated = true;
        } else if (options && arg == "--command") {
            if (i + 1 < argc)
                info.m_commands.push_back(argv[++i]);
            else if (info.m_strBadOption.empty())
                info.m_strBadOption = arg;
        } else if (options && arg == "--journal") {
            info.m_bJournal = true;
        } else if (options && arg.rfind("--journal-dir=", 0) == 0) {
            info.m_strJournalDir = arg.substr(14);
        } else if (options && arg == "--journal-dir") {
            if (i + 1 < argc)
                info.m_strJournalDir = argv[++i];
            else if (info.m_strBadOption.empty())
                info.m_strBadOption = arg;
        } else if (options && arg.size() > 1 && arg[0] == '-') {
            if (info.m_strBadOption.empty())
                info.m_strBadOption = arg;
        } else {
            info.m_files.push_back(arg);
        }
    }
    if (help)
        info.m_action = CCommandLineInfo::ShowHelp;
    else if (version)
        info.m_action = CCommandLineInfo::ShowVersion;
    else if (!info.m_strBadOption.empty())
        info.m_action = CCommandLineInfo::BadOption;
    return info;
}

std::string HelpText(const std::string& program)
{
    return "Usage: " + program +
           " [OPTION]... [FILE]...\n"
           "View text and log files read-only, following them while they grow.\n"
           "Each FILE opens in its own window; a file that is open already is only brought forward.\n"
           "A compressed FILE (gzip, xz, zstd, bzip2) is decompressed into memory; - reads standard input.\n"
           "A FILE named ssh://[USER@]HOST[:PORT]/PATH is read and followed through ssh ($OSTREL_SSH if set).\n"
           "\n"
           "  --command CMD  run the command line CMD (by /bin/sh -c) and show its output as it\n"
           "                 arrives, in a window of its own; closing the window ends it\n"
           "  --merge        show the FILEs (up to 32 logs) merged into one window, their rows\n"
           "                 ordered by time, each file's letter in a source column\n"
           "  --rotated      show each FILE with the older parts that rotation left beside it\n"
           "                 (FILE.1, FILE.2.gz, FILE-20261206, ...) as one log, the oldest first\n"
           "  --journal      choose a part of the systemd journal (a boot, units, a lowest priority,\n"
           "                 a first time) in a dialog and show it in a window that follows it\n"
           "  --journal-dir DIR  show the journal files of the folder DIR (as journalctl --directory\n"
           "                 reads them) in a window that follows them; with --journal, the dialog\n"
           "                 reads that folder instead\n"
           "  --help         display this help and exit\n"
           "  --version      output version information and exit\n"
           "  --             end of options: the arguments after it are file names\n"
           "\n"
           "The standard Qt options (-platform, -style, ...) are accepted too.\n"
           "Exit status is 0 when the viewer ran, 1 when none of the named files could be opened,\n"
           "2 for an option that is not understood.\n";
}

std::string VersionText()
{
    return std::string(kApplicationTitle) + " " OSTREL_VERSION " (build " + BuildVersionText(ProgramBuildDate()) +
           ")\n";
}

std::string BadOptionText(const std::string& program, const std::string& option)
{
    return program + ": unrecognized option '" + option + "'\nTry '" + program + " --help' for more information.\n";
}
