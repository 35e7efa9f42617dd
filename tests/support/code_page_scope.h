#pragma once

#include "core/text/code_page.h"

namespace vel {

// Switches the code page for one test and puts the previous one back.
class CodePageScope {
public:
    explicit CodePageScope(CodePage codePage)
        : m_saved(currentCodePage())
    {
        setCurrentCodePage(codePage);
    }
    ~CodePageScope() { setCurrentCodePage(m_saved); }
    CodePageScope(const CodePageScope&) = delete;
    CodePageScope& operator=(const CodePageScope&) = delete;

private:
    CodePage m_saved;
};

}  // namespace vel
