#include "scratch_folder.h"

#include <cstdio>
#include <random>
#include <string>
#include <system_error>

#include "memo/memo_file.h"
#include "text/gbcodec.h"

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder(const fs::path& prefix, const fs::path& base)
{
    std::error_code error;
    const fs::path parent = base.empty() ? fs::temp_directory_path(error) : base;
    if (error)
        return;
    std::random_device random;
    for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "-%08x", static_cast<unsigned>(random()));
        fs::path candidate = parent / prefix;
        candidate += suffix;
        if (fs::create_directory(candidate, error))
            m_path = candidate;
        else if (error)
            return;
    }
    if (m_path.empty())
        return;
    m_old = fs::current_path(error);
    if (!error)
        fs::current_path(m_path, error);
    if (error)
        return;
    // The path as the system reports the current directory, for tests that compare with it.
    m_path = fs::current_path(error);
    // Another folder: the same relative names are other files.
    ForgetFileReads();
    m_bReady = !error;
}

ScratchFolder::~ScratchFolder()
{
    std::error_code ignored;
    if (!m_old.empty())
        fs::current_path(m_old, ignored);
    ForgetFileReads();
    if (m_path.empty())
        return;
    // Tests leave read-only files and folders behind; make them removable first.
    fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ignored);
    std::error_code walk;
    for (fs::recursive_directory_iterator it(m_path, walk), end; !walk && it != end; it.increment(walk))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(m_path, ignored);
}

bool ScratchFolder::PrepareMemos()
{
#ifdef _WIN32
    // The program's file functions take GB18030 paths.
    const std::string path = almanix::Utf16ToGb(m_path.u16string());
#else
    const std::string path = m_path.string();
#endif
    return m_bReady && PrepareMemoFolder(path.c_str()) == 0;
}
