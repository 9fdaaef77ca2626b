#include "app/holiday_update.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "controls/registry.h"
#include "memo/memo_file.h"
#include "sync/web_get.h"

namespace {

const char kUpdateSetting[] = "HolidayUpdate";      // "0": the user turned the update off
const char kAskedSetting[] = "HolidayUpdateAsked";  // FormatHolidayAskLog
const char kWordsSetting[] = "HolidayUpdateResult";

std::string ReadSetting(const char* name)
{
    BYTE value[1024];
    return ReadRegValue(ALMANIX_SETTINGS_KEY, name, value, sizeof value) == 0 ? reinterpret_cast<const char*>(value)
                                                                                : "";
}

std::string FetchFault(const WebGetResult& got)
{
    if (got.m_nStatus == 0)
        return got.m_error;
    if (got.m_nStatus == 404)
        return "尚未公布";
    char text[48];
    wsprintfA(text, "服务器答复 HTTP %d", got.m_nStatus);
    return text;
}

}  // namespace

HolidayYearOutcome UpdateHolidayYear(const std::string& urlPattern, const std::string& memoFolder, int nYear)
{
    HolidayYearOutcome outcome;
    outcome.m_nYear = nYear;
    const WebGetResult got = WebGet(HolidayYearUrl(urlPattern, nYear), HOLIDAY_DOWNLOAD_MAX_BYTES);
    if (got.m_nStatus != 200) {
        outcome.m_reason = FetchFault(got);
        return outcome;
    }
    CHolidayOverlay days;
    const HolidayFileFault fault = got.m_bTooLarge ? HolidayFileFault::TooLarge
                                                   : ReadHolidayYearFile(got.m_body, nYear, days);
    if (fault != HolidayFileFault::None) {
        outcome.m_reason = HolidayFaultWords(fault);
        return outcome;
    }
    if (!memoFolder.empty())
        MakeSubfolder((memoFolder + HOLIDAY_DOWNLOAD_FOLDER).c_str());
    if (memoFolder.empty() ||
        WriteWholeFile(HolidayDownloadPath(memoFolder, nYear).c_str(), got.m_body.data(), got.m_body.size()) != 0) {
        outcome.m_reason = "无法保存到“我的记事”文件夹";
        return outcome;
    }
    outcome.m_bTaken = true;
    return outcome;
}

struct CHolidayUpdater::Shared {
    HWND m_hNotify = nullptr;
    std::string m_memoFolder;
    std::string m_urlPattern;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<int> m_years;
    bool m_bWanted = false, m_bStop = false;
    std::atomic<bool> m_bRunning{false};
    std::thread m_thread;
};

CHolidayUpdater::CHolidayUpdater(HWND notify, std::string memoFolder, std::string urlPattern)
    : m_p(std::make_shared<Shared>())
{
    m_p->m_hNotify = notify;
    m_p->m_memoFolder = std::move(memoFolder);
    m_p->m_urlPattern = std::move(urlPattern);
    std::shared_ptr<Shared> p = m_p;  // the thread keeps it alive when it outlives this object
    m_p->m_thread = std::thread([p] {
        for (;;) {
            std::vector<int> years;
            {
                std::unique_lock<std::mutex> lock(p->m_mutex);
                p->m_cv.wait(lock, [&] { return p->m_bWanted || p->m_bStop; });
                if (p->m_bStop)
                    return;
                p->m_bWanted = false;
                years.swap(p->m_years);
            }
            auto* round = new HolidayRound;
            for (int nYear : years)
                round->push_back(UpdateHolidayYear(p->m_urlPattern, p->m_memoFolder, nYear));
            p->m_bRunning = false;
            if (!::PostMessageW(p->m_hNotify, WM_HOLIDAYS_DONE, 0, reinterpret_cast<LPARAM>(round)))
                delete round;
        }
    });
}

CHolidayUpdater::~CHolidayUpdater()
{
    {
        std::lock_guard<std::mutex> lock(m_p->m_mutex);
        m_p->m_bStop = true;
    }
    m_p->m_cv.notify_all();
    for (int i = 0; i < 20 && m_p->m_bRunning; ++i)
        ::Sleep(50);
    if (m_p->m_bRunning)
        m_p->m_thread.detach();
    else
        m_p->m_thread.join();
}

bool CHolidayUpdater::Request(const std::vector<int>& years)
{
    if (m_p->m_bRunning.exchange(true))
        return false;
    {
        std::lock_guard<std::mutex> lock(m_p->m_mutex);
        m_p->m_bWanted = true;
        m_p->m_years = years;
    }
    m_p->m_cv.notify_all();
    return true;
}

bool CHolidayUpdater::Running() const
{
    return m_p->m_bRunning;
}

bool HolidayUpdateWanted()
{
    return ReadSetting(kUpdateSetting) != "0";
}

void SetHolidayUpdateWanted(bool bWanted)
{
    WriteRegString(ALMANIX_SETTINGS_KEY, kUpdateSetting, bWanted ? "1" : "0");
}

HolidayAskLog LoadHolidayAskLog()
{
    return ParseHolidayAskLog(ReadSetting(kAskedSetting));
}

void SaveHolidayAskLog(const HolidayAskLog& log)
{
    WriteRegString(ALMANIX_SETTINGS_KEY, kAskedSetting, FormatHolidayAskLog(log).c_str());
}

std::string LoadHolidayUpdateWords()
{
    return ReadSetting(kWordsSetting);
}

void SaveHolidayUpdateWords(const std::string& words)
{
    WriteRegString(ALMANIX_SETTINGS_KEY, kWordsSetting, words.c_str());
}
