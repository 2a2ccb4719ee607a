// The update notice at start and the blog button.
//
// CheckForUpdate reads the announcement post once, waiting at most 3 s (no
// check at all when no blog host is configured). When the post announces a
// newer version it asks with the platform's box in its W form (text from
// code page 936, caption "信息：", Yes/No, task-modal); Yes opens the download
// address only when it passes the link check as a web page (else the
// library's "抱歉：" box says it cannot be opened). The program then ends.
// Covered by tests/e2e (prompt, unreadable post) and tests/app (decisions).
#pragma once

#include <windows.h>

#include <functional>

#include "app/core/config.h"

namespace sorvix::app {

struct UpdateHooks {
    // Replaces the Yes/No question (tests): answers IDYES or IDNO.
    std::function<int(const std::wstring& text, const std::wstring& caption)> ask;
    // Replaces the shell (tests).
    std::function<void(const Text& link, const std::string& scheme)> open;
};

// True when start-up goes on; false when the program must end (exit code 0).
bool CheckForUpdate(const Config& config, const UpdateHooks& hooks = {});

// Opens the blog's home page through `open` (link, scheme) when CheckLink
// allows it as a web page.
void OpenBlog(const Config& config, const std::function<void(const Text& link, const std::string& scheme)>& open);

}  // namespace sorvix::app
