#include "app/holiday_update.h"

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

CHolidayUpdater::CHolidayUpdater(HWND notify, std::string memoFolder, std::string urlPattern)
    : m_memoFolder(std::move(memoFolder)), m_urlPattern(std::move(urlPattern)), m_worker(notify, WM_HOLIDAYS_DONE)
{
}

bool CHolidayUpdater::Request(const std::vector<int>& years)
{
    return m_worker.Request([folder = m_memoFolder, pattern = m_urlPattern, years] {
        HolidayRound round;
        for (int nYear : years)
            round.push_back(UpdateHolidayYear(pattern, folder, nYear));
        return round;
    });
}

bool HolidayUpdateWanted()
{
    return ReadRegSwitch(ALMANIX_SETTINGS_KEY, kUpdateSetting);
}

void SetHolidayUpdateWanted(bool bWanted)
{
    WriteRegSwitch(ALMANIX_SETTINGS_KEY, kUpdateSetting, bWanted);
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
