#pragma once

#include "platform/services/ChildProcess.h"

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

// Makes tr_TR.UTF-8 the C library's locale, as Qt does for a user whose LANG names it; there toupper('i')
// is 'i' and tolower('I') is 'I'. The locale is compiled into a folder of the test's own, so the machine
// needs only localedef and its sources. "C" comes back when the object goes.
class TurkishLocale
{
public:
    TurkishLocale()
    {
        char folder[] = "/tmp/qv-locale-XXXXXX";
        if (!::mkdtemp(folder)) {
            m_whyNot = "no temporary folder";
            return;
        }
        m_folder = folder;
        const auto built
            = platform::runChildProcess("/usr/bin/localedef", {"-i", "tr_TR", "-f", "UTF-8", m_folder + "/tr_TR.UTF-8"},
                {.output = platform::ChildRun::Output::standardOutputAndError});
        ::setenv("LOCPATH", m_folder.c_str(), 1);
        if (!std::setlocale(LC_ALL, "tr_TR.UTF-8"))
            m_whyNot
                = "localedef could not build tr_TR.UTF-8: " + (built ? built.value().output : built.error().message);
    }
    ~TurkishLocale()
    {
        std::setlocale(LC_ALL, "C");
        ::unsetenv("LOCPATH");
        if (!m_folder.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(m_folder, ignored);
        }
    }
    TurkishLocale(const TurkishLocale&) = delete;
    TurkishLocale& operator=(const TurkishLocale&) = delete;

    bool active() const { return m_whyNot.empty(); }
    const std::string& whyNot() const { return m_whyNot; }

private:
    std::string m_folder;
    std::string m_whyNot;
};
