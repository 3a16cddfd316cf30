#include "platform/CodePage.h"

#include <atomic>
#include <clocale>
#include <langinfo.h>
#include <string>

namespace platform {
namespace {

std::atomic<CodePage> g_codePage{CodePage::Windows1252};

// The letters and digits of a name in lower case: "UTF-8", "utf8" and "UTF_8" are one name.
std::string Folded(std::string_view name)
{
    std::string out;
    for (char c : name) {
        if (c >= 'A' && c <= 'Z')
            out.push_back(static_cast<char>(c + 32));
        else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            out.push_back(c);
    }
    return out;
}

}  // namespace

CodePage CodePageOfCharset(std::string_view charset)
{
    return Folded(charset) == "utf8" ? CodePage::Utf8 : CodePage::Windows1252;
}

CodePage LocaleCodePage()
{
    const char* current = std::setlocale(LC_CTYPE, nullptr);
    const std::string saved = current ? current : "C";
    CodePage cp = CodePage::Windows1252;
    if (std::setlocale(LC_CTYPE, ""))
        cp = CodePageOfCharset(nl_langinfo(CODESET));
    std::setlocale(LC_CTYPE, saved.c_str());
    return cp;
}

CodePage AnsiCodePage()
{
    return g_codePage.load(std::memory_order_relaxed);
}

void SetAnsiCodePage(CodePage codePage)
{
    g_codePage.store(codePage, std::memory_order_relaxed);
}

const char* CodePageName(CodePage codePage)
{
    return codePage == CodePage::Utf8 ? "UTF-8" : "Windows-1252";
}

const char* CodePageKey(CodePage codePage)
{
    return codePage == CodePage::Utf8 ? "utf-8" : "1252";
}

bool ParseCodePageKey(std::string_view key, CodePage& out)
{
    const std::string k = Folded(key);
    if (k == "utf8")
        out = CodePage::Utf8;
    else if (k == "1252")
        out = CodePage::Windows1252;
    else
        return false;
    return true;
}

}  // namespace platform
