// The viewer's command line: ostrel-viewer [OPTION]... [FILE]...
// File names are kept as the bytes they came as (a name need not be UTF-8);
// "--" ends the options, so that a file named "--help" can still be opened.
#pragma once

#include <string>
#include <vector>

struct CCommandLineInfo {
    enum Action { Run, ShowHelp, ShowVersion, BadOption };
    Action m_action = Run;
    std::vector<std::string> m_files;
    std::vector<std::string> m_commands;  // --command CMD: each run in a window of its own
    bool m_bMerge = false;                // --merge: the files open as one merged window
    bool m_bRotated = false;              // --rotated: each file opens with its older parts as one log
    bool m_bJournal = false;              // --journal: the System Journal dialog at start
    std::string m_strJournalDir;          // --journal-dir DIR: the journal files of DIR
    std::string m_strBadOption;           // the option that was not understood
};

// Parses argv[1..argc-1]. --help wins over --version, and either over an option it does not know, wherever
// they stand before "--". A lone "-" is a file name.
CCommandLineInfo ParseCommandLine(int argc, const char* const* argv);

// The texts printed for --help and --version, and for an option not understood (GNU style).
std::string HelpText(const std::string& program);
std::string VersionText();
std::string BadOptionText(const std::string& program, const std::string& option);
