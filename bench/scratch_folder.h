// A memo folder under TMPDIR (or /tmp), the current directory while the object lives.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "memo/memo_file.h"

class ScratchFolder {
public:
    ScratchFolder()
    {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/almanix-bench-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr)
            return;
        m_path = pattern;
        m_old = std::filesystem::current_path();
        m_bReady = PrepareMemoFolder(pattern.c_str()) == 0;
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::current_path(m_old, ignored);
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    bool Ready() const { return m_bReady; }

private:
    std::filesystem::path m_path, m_old;
    bool m_bReady = false;
};
