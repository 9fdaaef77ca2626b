// The day memo dialog: the one-off, Gregorian-yearly and lunar-yearly memos of the day just
// clicked in the month view, each with a colour swatch that opens the system colour picker.
// OK stores the three through the month view; Cancel drops every change. Also the pieces the
// weekly reminder dialog shares with it: the colour picker and the length limit of the edits.
#pragma once

#include <windows.h>

#include <commdlg.h>

#include <cstdint>
#include <initializer_list>
#include <string>

#include "controls/label.h"
#include "framework/dialog.h"
#include "framework/gdi.h"
#include "monthview/month_model.h"
#include "monthview/month_view.h"
#include "resource.h"

// Runs the system colour picker the way ChooseColorW does. Tests put their own in to answer
// it; null puts ChooseColorW back. Returns the one it replaces.
using ColorChooser = BOOL(WINAPI*)(LPCHOOSECOLORW pcc);
ColorChooser SetColorChooser(ColorChooser pfnChoose);

// The colour picker, modal over owner and opened at the colour current, with the 16 custom
// colours given (the user's changes to them are not kept). True, with *pChosen, when the user
// chose a colour; false when the picker was cancelled.
bool ChooseMemoColor(HWND owner, COLORREF current, const COLORREF (&custom)[16], COLORREF* pChosen);

// Keeps the text of one memo edit within what a memo record holds (MEMO_MAX_TEXT_LENGTH
// bytes): of a change that would go beyond it, the part that fits stays and the rest is
// dropped with a beep, so the user sees at once what will be stored.
class CMemoEditLimit {
public:
    // The edit, once it holds its first text.
    void Attach(HWND hEdit);
    // The edit's EN_CHANGE.
    void OnChange();

private:
    HWND m_hEdit = nullptr;
    std::u16string m_strAccepted;  // the text as it was after the last change that fitted
    bool m_bFitting = false;       // the edit is being given the fitted text
};

// Shows a warning of a memo dialog over its window (caption "警告").
void ShowMemoWarning(HWND owner, const char* pszText);

// What the day memo and weekly dialogs share: the month model whose memos they edit, the
// caption font, the colour swatches and the picker behind them, the length check at OK, and
// painting nothing of their own.
class CMemoDialogBase : public CDialog {
public:
    // pModel: the shown month (its memo stores); pParent: the window the dialog is modal over.
    CMemoDialogBase(UINT nIDTemplate, CMonthModel* pModel, CWnd* pParent);

    BEGIN_MSG_MAP(CMemoDialogBase)
        MSG_WM_PAINT(OnPaint)
        MSG_WM_DESTROY(OnDestroy)
    END_MSG_MAP()

    CMonthModel* m_pModel;
    CFont m_font;  // captions

protected:
    // A caption beside or above the edit it names, centred in its row; detached at the end.
    void CreateCaption(CStatic& caption, const std::string& text, const RECT& rc, UINT nID);
    // A "■" swatch in the memo's colour, and its size in a font of nPointSize tenths of a point.
    void CreateSwatch(CHoverButton& swatch, const RECT& rc, UINT nID, std::uint32_t dwFlags, int nKind, int nPointSize);
    SIZE SwatchSize(int nPointSize);
    // The picker over the dialog at the memo's colour, its custom colours the dialog's memo
    // colours and white after them; a chosen colour goes into *pFlags. The swatch shows the
    // colour afterwards either way.
    void PickColor(
        std::uint32_t* pFlags, int nKind, CHoverButton& swatch, std::initializer_list<COLORREF> dialogColors);
    // False, after a warning and with the focus on the edit, when text is too long to store.
    bool CheckLength(const std::string& text, int nEditID, const char* pszWarning);
    void OnPaint();
    void OnDestroy();

private:
    CStatic* m_captions[3] = {};
    int m_nCaptions = 0;
};

class CMemoDlg : public CMemoDialogBase {
public:
    enum { IDD = IDD_MEMO };

    // The memos of day m_nHotDay of pModel, read from its stores now; the dialog keeps to
    // that date even when the model moves to another month while it is open. Modal over
    // pParent; its title names pMain's ("输入记事 - 日历2.18").
    CMemoDlg(CMonthModel* pModel, CWnd* pParent, CWnd* pMain = nullptr);
    ~CMemoDlg() override;

    std::string m_strOnce;
    std::string m_strSolarYearly;
    std::string m_strLunarYearly;
    std::uint32_t m_dwOnceFlags = 0;
    std::uint32_t m_dwSolarFlags = 0;
    std::uint32_t m_dwLunarFlags = 0;
    CStatic m_staticDate;
    CStatic m_staticSolar;
    CStatic m_staticLunar;
    CHoverButton m_btnOnceColor;
    CHoverButton m_btnSolarColor;
    CHoverButton m_btnLunarColor;
    CWnd* m_pMain;

    // The date the dialog edits, and that day's cell as it was at opening.
    int m_nYear = 0;
    int m_nMonth = 0;
    int m_nDay = 0;
    CDayCell m_cell;
    // The three memos as read at opening: OK keeps what a sync wrote into them since.
    MemoRead m_read[3];

    // "2024年5月1日星期三农历三月廿三", "阳历每年5月1日", "农历每年三月廿三" (GBK): the leap
    // prefix is never shown, as the memo belongs to the lunar month of that number.
    std::string FormatDateLine() const;
    std::string FormatSolarCaption() const;
    std::string FormatLunarCaption() const;

    BEGIN_MSG_MAP(CMemoDlg)
        MESSAGE_HANDLER_EX(WM_CTRLNOTIFY, OnCtrlNotify)
        COMMAND_HANDLER_EX(IDC_MEMO_ONCE, EN_CHANGE, OnChangeOnce)
        COMMAND_HANDLER_EX(IDC_MEMO_SOLAR_YEARLY, EN_CHANGE, OnChangeSolarYearly)
        COMMAND_HANDLER_EX(IDC_MEMO_LUNAR_YEARLY, EN_CHANGE, OnChangeLunarYearly)
        CHAIN_MSG_MAP(CMemoDialogBase)
    END_MSG_MAP()

    BOOL OnInitDialog() override;
    void OnOK() override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    LRESULT OnCtrlNotify(WPARAM nID, LPARAM);
    void OnChangeOnce() { m_limits[0].OnChange(); }
    void OnChangeSolarYearly() { m_limits[1].OnChange(); }
    void OnChangeLunarYearly() { m_limits[2].OnChange(); }

    // Places the captions and swatches from the edits' rectangles, which depend on the dialog
    // font on screen, and widens the gap left of the two yearly edits when a caption needs it.
    void LayOut();
    // Stores the three memos into the files of m_nYear/m_nMonth/m_nDay: through the model
    // while it shows that month, else through a model of that month, after which the model
    // reloads its stores (some may be the same files). The SAVE_FAILED_* bits, or 0.
    int SaveToDate();

    CMemoEditLimit m_limits[3];
};

// The memo dialog of a kind for the month view (its model; modal over its window): the day
// memo dialog of m_nHotDay, whose title names pMain, or the weekly dialog of m_nWeekdayCol.
// What the view's owner does when the view asks for a dialog.
void RunMemoDialogFor(CMonthView* pView, CWnd* pMain, MemoDialogKind kind);
