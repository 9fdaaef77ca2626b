// A folder of a test's own under the temporary folder, the current directory while the object
// lives; afterwards the previous directory is entered again and the folder removed with
// everything in it. Tests and benchmarks of the memo files work in one, natively and on Windows.
#pragma once

#include <filesystem>

class ScratchFolder {
public:
    // Makes <base>/<prefix>-<random> (base empty: the system's temporary folder) and enters it.
    explicit ScratchFolder(const std::filesystem::path& prefix, const std::filesystem::path& base = {});
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The folder was made and entered.
    bool Ready() const { return m_bReady; }
    const std::filesystem::path& Path() const { return m_path; }
    // Makes the program's memo folder in it, as the program does in a documents folder
    // (我的记事 with 日历 and 备忘), and enters that. False when that fails.
    bool PrepareMemos();

private:
    std::filesystem::path m_path, m_old;
    bool m_bReady = false;
};
