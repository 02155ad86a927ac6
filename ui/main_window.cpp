// MainWindow: every control described once in a table and created by one loop; the window procedures,
// which hand each event to its handler; the layout rule.
#include "ui/main_window.h"

#include <windowsx.h>

#include <array>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "http/feedback_message.h"
#include "ui/controls.h"
#include "ui/pictures.h"
#include "ui/program.h"
#include "ui/send_action.h"

namespace {

constexpr const char* MainWindowClass = "CorvanaMainWindow";
constexpr const char* PictureBoxClass = "CorvanaPictureBox";
constexpr const char* StatusLabelClass = "CorvanaStatusLabel";

constexpr int OuterWidth = 700;
constexpr int OuterHeight = 511;

constexpr COLORREF WindowColour = RGB(77, 77, 77);
constexpr COLORREF LineColour = RGB(96, 96, 96);
constexpr COLORREF White = RGB(255, 255, 255);
constexpr COLORREF Orange = RGB(255, 128, 0);
constexpr COLORREF Green = RGB(149, 202, 26);
constexpr COLORREF NoColour = 0xFFFFFFFF; // nothing behind: the parent shows through

enum class Kind { Edit, CheckBox, Label, TransparentLabel, StatusLabel, PictureBox, ImageButton };
enum class FontKind { DefaultGui, Status, ProgramName, Brand };
enum class Shown { Unscaled, Stretched };

constexpr int InWindow = 0; // parent: the window's client area

struct ControlRow {
    ControlId id;
    Kind kind;
    int parent; // InWindow, or the ControlId of the control that holds it
    int left, top, width, height;
    const wchar_t* text;
    COLORREF textColour;
    COLORREF background;
    FontKind font;
    DWORD style; // beyond what the kind brings
    Picture picture;
    Shown shown;
    int longest; // edit boxes: most characters, 0 for no limit
    bool ticked;
};

constexpr DWORD OneLine = ES_AUTOHSCROLL;
constexpr DWORD SeveralLines = ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL;
constexpr auto Gui = FontKind::DefaultGui;
constexpr auto Stretched = Shown::Stretched;
constexpr auto Unscaled = Shown::Unscaled;
constexpr auto NoPicture = Picture::None;

// Rows run from the top of the stacking order down. The tab stops lead, in the order in which Tab walks
// them; the decoration lies below everything else. A nested control follows the control that holds it.
// clang-format off
const ControlRow Controls[] = {
    // id                 kind                    parent         left top  w    h    text                             text    back         font                 style                       picture                  shown      max ticked
    {功能_主要功能,       Kind::ImageButton,      InWindow,      552, 432, 138, 31,  L"模拟访问",                     White,  NoColour,    Gui,                 0,                          NoPicture,               Stretched, 0, false},
    {功能_关闭软件,       Kind::ImageButton,      InWindow,        8, 432, 138, 31,  L"关闭",                         White,  NoColour,    Gui,                 0,                          NoPicture,               Stretched, 0, false},
    {输入_完整地址,       Kind::Edit,             InWindow,       59,  72, 525, 20,  L"",                             Orange, WindowColour, Gui,                OneLine,                    NoPicture,               Stretched, 0, false},
    {输入_模拟方式,       Kind::Edit,             InWindow,      640,  72,  40, 20,  L"POST",                         Orange, WindowColour, Gui,                OneLine | ES_CENTER | ES_READONLY, NoPicture,        Stretched, 4, false},
    {输入_提交数据,       Kind::Edit,             InWindow,       59,  96, 525, 20,  L"",                             Orange, WindowColour, Gui,                OneLine,                    NoPicture,               Stretched, 0, false},
    {输入_超时设置,       Kind::Edit,             InWindow,      640,  96,  40, 20,  L"20",                           Orange, WindowColour, Gui,                OneLine | ES_CENTER,        NoPicture,               Stretched, 0, false},
    {输入_代理地址,       Kind::Edit,             InWindow,       59, 188, 125, 20,  L"地址:端口",                    Orange, WindowColour, Gui,                OneLine,                    NoPicture,               Stretched, 0, false},
    {输入_Cookies,        Kind::Edit,             InWindow,       59, 120, 621, 20,  L"",                             Orange, WindowColour, Gui,                OneLine,                    NoPicture,               Stretched, 0, false},
    {输入_协议头,         Kind::Edit,             InWindow,       59, 144, 621, 40,  L"",                             Orange, WindowColour, Gui,                SeveralLines | ES_WANTRETURN, NoPicture,             Stretched, 0, false},
    {设置_保存Cookies,    Kind::CheckBox,         InWindow,      195, 191, 165, 16,  L"在本地保存返回的Cookies",      White,  WindowColour, Gui,                0,                          NoPicture,               Stretched, 0, true},
    {设置_发送编码,       Kind::CheckBox,         InWindow,      376, 191, 152, 16,  L"将提交数据转换为UTF-8",        White,  WindowColour, Gui,                0,                          NoPicture,               Stretched, 0, false},
    {设置_返回编码,       Kind::CheckBox,         InWindow,      544, 191, 136, 16,  L"将返回数据转换为GBK",          White,  WindowColour, Gui,                0,                          NoPicture,               Stretched, 0, false},
    {显示_返回数据,       Kind::Edit,             InWindow,       59, 220, 621, 140, L"",                             White,  WindowColour, Gui,                SeveralLines | ES_READONLY, NoPicture,               Stretched, 0, false},
    {显示_返回协议,       Kind::Edit,             InWindow,       59, 365, 621, 40,  L"",                             White,  WindowColour, Gui,                SeveralLines | ES_READONLY, NoPicture,               Stretched, 0, false},
    {显示_返回Cookies,    Kind::Edit,             InWindow,       59, 409, 621, 20,  L"",                             White,  WindowColour, Gui,                OneLine | ES_READONLY,      NoPicture,               Stretched, 0, false},
    {标签1,               Kind::Label,            InWindow,        8,  73,  48, 16,  L"完整地址",                     White,  WindowColour, Gui,                0,                          NoPicture,               Stretched, 0, false},
    {标签2,               Kind::Label,            InWindow,      588,  73,  48, 16,  L"模拟方式",                     White,  WindowColour, Gui,                0,                          NoPicture,               Stretched, 0, false},
    {标签3,               Kind::Label,            InWindow,        8,  97,  48, 16,  L"提交数据",                     White,  WindowColour, Gui,                0,                          NoPicture,               Stretched, 0, false},
    {标签4,               Kind::Label,            InWindow,      588,  97,  48, 16,  L"超时设置",                     White,  WindowColour, Gui,                0,                          NoPicture,               Stretched, 0, false},
    {标签6,               Kind::Label,            InWindow,        8, 121,  48, 16,  L"Cookies",                      White,  WindowColour, Gui,                0,                          NoPicture,               Stretched, 0, false},
    {标签7,               Kind::Label,            InWindow,        8, 145,  48, 16,  L"协 议 头",                     White,  WindowColour, Gui,                0,                          NoPicture,               Stretched, 0, false},
    {标签5,               Kind::Label,            InWindow,        8, 189,  48, 16,  L"代理地址",                     White,  WindowColour, Gui,                0,                          NoPicture,               Stretched, 0, false},
    {标签8,               Kind::Label,            InWindow,        8, 221,  48, 16,  L"返回数据",                     White,  WindowColour, Gui,                0,                          NoPicture,               Stretched, 0, false},
    {标签9,               Kind::Label,            InWindow,        8, 366,  48, 16,  L"返回协议",                     White,  WindowColour, Gui,                0,                          NoPicture,               Stretched, 0, false},
    {标签10,              Kind::Label,            InWindow,        8, 410,  48, 16,  L"Cookies",                      White,  WindowColour, Gui,                0,                          NoPicture,               Stretched, 0, false},
    {显示_提示信息,       Kind::StatusLabel,      InWindow,      154, 433, 384, 13,  L"",                             Green,  WindowColour, FontKind::Status,   0,                          NoPicture,               Stretched, 0, false},
    {显示_进度底部,       Kind::PictureBox,       InWindow,      154, 448, 382, 14,  L"",                             White,  White,       Gui,                 WS_BORDER | WS_CLIPCHILDREN, NoPicture,              Stretched, 0, false},
    {显示_进度前景,       Kind::PictureBox,       显示_进度底部,   0,   0, 380, 12,  L"",                             White,  NoColour,    Gui,                 0,                          Picture::ProgressBar,    Stretched, 0, false},
    {背景_Top_A,          Kind::PictureBox,       InWindow,        2,   0, 696, 69,  L"",                             White,  NoColour,    Gui,                 0,                          Picture::Banner,         Stretched, 0, false},
    {显示_程序名称,       Kind::TransparentLabel, 背景_Top_A,     16,  13, 152, 40,  L"软件标题",                     White,  NoColour,    FontKind::ProgramName, SS_LEFT,                  NoPicture,               Stretched, 0, false},
    {背景_Tavrel软件,     Kind::TransparentLabel, 背景_Top_A,    166,  24, 104, 28,  L"Tavrel软件",                   White,  NoColour,    FontKind::Brand,     SS_LEFT,                    NoPicture,               Stretched, 0, false},
    {显示_公司名称,       Kind::TransparentLabel, 背景_Top_A,    409,   2, 288, 16,  L"塔维尔软件工作室",     White,  NoColour,    Gui,                 SS_LEFT,                    NoPicture,               Stretched, 0, false},
    {显示_联系方式,       Kind::TransparentLabel, 背景_Top_A,    409,  52, 288, 16,  L"服务热线: 000-0000-0000 (9:00-18:00)", White, NoColour, Gui,                SS_RIGHT,                   NoPicture,               Stretched, 0, false},
    {背景_Top_B,          Kind::PictureBox,       InWindow,        0,   0,   2, 69,  L"",                             White,  NoColour,    Gui,                 0,                          Picture::HeaderLeft,     Unscaled,  0, false},
    {背景_Top_C,          Kind::PictureBox,       InWindow,      698,   0,   2, 69,  L"",                             White,  NoColour,    Gui,                 0,                          Picture::HeaderRight,    Unscaled,  0, false},
    {背景_顶边线,         Kind::PictureBox,       InWindow,        2,  68, 696,  3,  L"",                             White,  LineColour,  Gui,                 0,                          Picture::LineHorizontal, Stretched, 0, false},
    {背景_底边线_C,       Kind::PictureBox,       InWindow,        2, 214, 696,  3,  L"",                             White,  LineColour,  Gui,                 0,                          Picture::LineHorizontal, Stretched, 0, false},
    {背景_底边线_B,       Kind::PictureBox,       InWindow,        2, 424, 696,  3,  L"",                             White,  LineColour,  Gui,                 0,                          Picture::LineHorizontal, Stretched, 0, false},
    {背景_左边线,         Kind::PictureBox,       InWindow,        0,   0,   3, 471, L"",                             White,  LineColour,  Gui,                 0,                          Picture::LineVertical,   Stretched, 0, false},
    {背景_右边线,         Kind::PictureBox,       InWindow,      697,   0,   3, 471, L"",                             White,  LineColour,  Gui,                 0,                          Picture::LineVertical,   Stretched, 0, false},
    {背景_底边线_A,       Kind::PictureBox,       InWindow,        1, 470, 698,  3,  L"",                             White,  LineColour,  Gui,                 0,                          Picture::LineHorizontal, Stretched, 0, false},
};
// clang-format on

const ControlRow* RowOf(int id) {
    for (const ControlRow& row : Controls)
        if (row.id == id) return &row;
    return nullptr;
}

HWND TheMainWindow = nullptr;
// The control that had the focus when the window was last deactivated.
HWND LastFocus = nullptr;

// ---- GDI objects, each created once and owned here until the program ends.

struct GdiDelete {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
using GdiOwner = std::unique_ptr<std::remove_pointer_t<HGDIOBJ>, GdiDelete>;

HBRUSH SolidBrush(COLORREF colour) {
    static std::vector<std::pair<COLORREF, GdiOwner>> brushes;
    for (const auto& [known, brush] : brushes)
        if (known == colour) return static_cast<HBRUSH>(brush.get());
    brushes.emplace_back(colour, GdiOwner(CreateSolidBrush(colour)));
    return static_cast<HBRUSH>(brushes.back().second.get());
}

// A font of the Chinese character set, normal weight; height is the cell height in pixels. An empty
// face lets the system pick the face for that character set.
HFONT ChineseFont(int height, const wchar_t* face) {
    return CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
}

HFONT FontOf(FontKind kind) {
    static std::array<GdiOwner, 4> fonts;
    auto& owned = fonts[static_cast<std::size_t>(kind)];
    if (!owned) {
        switch (kind) {
        case FontKind::DefaultGui:
            return GetStockFont(DEFAULT_GUI_FONT); // the system's, not ours
        case FontKind::Status:
            owned.reset(ChineseFont(13, L""));
            break;
        case FontKind::ProgramName:
            owned.reset(ChineseFont(37, L"微软雅黑"));
            break;
        case FontKind::Brand:
            owned.reset(ChineseFont(24, L"微软雅黑"));
            break;
        }
    }
    return static_cast<HFONT>(owned.get());
}

// ---- Colours: every control asks its parent (WM_CTLCOLOR...), and the answer comes from its row.

HBRUSH OnCtlColor(HWND, HDC dc, HWND control, int) {
    const ControlRow* row = RowOf(GetDlgCtrlID(control));
    if (!row) return nullptr;
    SetTextColor(dc, row->textColour);
    if (row->background == NoColour) {
        SetBkMode(dc, TRANSPARENT);
        return GetStockBrush(NULL_BRUSH);
    }
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, row->background);
    return SolidBrush(row->background);
}

// ---- Picture boxes: background colour, then the picture, unscaled or stretched.

void OnPictureBoxPaint(HWND box) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(box, &paint);
    RECT client;
    GetClientRect(box, &client);
    if (const ControlRow* row = RowOf(GetDlgCtrlID(box))) {
        if (row->background != NoColour) FillRect(dc, &client, SolidBrush(row->background));
        DrawPicture(dc, row->picture, client, row->shown == Shown::Stretched);
    }
    EndPaint(box, &paint);
}

// Own control classes paint their whole client area: nothing to erase first.
BOOL OnEraseCoveredByPaint(HWND, HDC) {
    return TRUE;
}

LRESULT CALLBACK PictureBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        HANDLE_MSG(box, WM_PAINT, OnPictureBoxPaint);
        HANDLE_MSG(box, WM_ERASEBKGND, OnEraseCoveredByPaint);
        // The banner's transparent labels ask it for their colours.
        HANDLE_MSG(box, WM_CTLCOLORSTATIC, OnCtlColor);
    }
    return DefWindowProcA(box, message, wParam, lParam);
}

// ---- The status label: a label of its own class, so that it can receive the progress reports.

void OnStatusLabelPaint(HWND label) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(label, &paint);
    RECT client;
    GetClientRect(label, &client);
    HBRUSH brush = FORWARD_WM_CTLCOLORSTATIC(GetParent(label), dc, label, SendMessageA);
    if (brush) FillRect(dc, &client, brush);
    HGDIOBJ before = SelectObject(dc, GetWindowFont(label));
    Text caption = HwndGetText(label);
    DrawTextA(dc, caption.c_str(), static_cast<int>(caption.size()), &client,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, before);
    EndPaint(label, &paint);
}

void OnStatusLabelSetFont(HWND label, HFONT font, BOOL redraw) {
    SetWindowLongPtrA(label, 0, reinterpret_cast<LONG_PTR>(font));
    if (redraw) InvalidateRect(label, nullptr, TRUE);
}

HFONT OnStatusLabelGetFont(HWND label) {
    return reinterpret_cast<HFONT>(GetWindowLongPtrA(label, 0));
}

LRESULT OnStatusLabelSetText(HWND label, WPARAM wParam, LPARAM lParam) {
    LRESULT result = DefWindowProcA(label, WM_SETTEXT, wParam, lParam);
    InvalidateRect(label, nullptr, TRUE);
    return result;
}

LRESULT OnStatusLabelFeedback(WPARAM bytes, LPARAM steps) {
    OnFeedback(static_cast<int>(bytes), static_cast<int>(steps));
    return 0;
}

LRESULT CALLBACK StatusLabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        HANDLE_MSG(label, WM_PAINT, OnStatusLabelPaint);
        HANDLE_MSG(label, WM_ERASEBKGND, OnEraseCoveredByPaint);
        HANDLE_MSG(label, WM_SETFONT, OnStatusLabelSetFont);
        HANDLE_MSG(label, WM_GETFONT, OnStatusLabelGetFont);
    case WM_SETTEXT:
        return OnStatusLabelSetText(label, wParam, lParam);
    case FeedbackMessage:
        return OnStatusLabelFeedback(wParam, lParam);
    }
    return DefWindowProcA(label, message, wParam, lParam);
}

// ---- Behaviours of single controls, hooked in by subclassing.

// The timeout box takes the digits and "-" as typed characters; control characters (Backspace, Ctrl+C,
// Ctrl+V, ...) keep their editing work.
bool TimeoutBoxTakes(WPARAM character) {
    return character < 0x20 || (character >= '0' && character <= '9') || character == '-';
}

// Image buttons show the hot face while the pointer is over them.
bool IsHot(HWND button) {
    return GetWindowLongPtrA(button, GWLP_USERDATA) != 0;
}

void SetHot(HWND button, bool hot) {
    if (IsHot(button) == hot) return;
    SetWindowLongPtrA(button, GWLP_USERDATA, hot);
    if (hot) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, button, 0};
        TrackMouseEvent(&track);
    }
    InvalidateRect(button, nullptr, FALSE);
}

// The control's own window procedure, kept while ours stands in front of it.
constexpr const char* BaseProcedure = "CorvanaBaseProcedure";

LRESULT CALLBACK ControlSubclassProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    auto base = reinterpret_cast<WNDPROC>(GetPropA(control, BaseProcedure));
    int id = GetDlgCtrlID(control);
    switch (message) {
    case WM_LBUTTONUP:
        if (id == 输入_模拟方式) {
            LRESULT result = CallWindowProcA(base, control, message, wParam, lParam);
            OnMethodBoxButtonUp();
            return result;
        }
        break;
    case WM_CHAR:
        if (id == 输入_超时设置 && !TimeoutBoxTakes(wParam)) return 0;
        break;
    case WM_MOUSEMOVE:
        SetHot(control, true);
        break;
    case WM_MOUSELEAVE:
        SetHot(control, false);
        break;
    case WM_NCDESTROY:
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(base));
        RemovePropA(control, BaseProcedure);
        break;
    }
    return CallWindowProcA(base, control, message, wParam, lParam);
}

void Subclass(HWND control) {
    SetPropA(control, BaseProcedure, reinterpret_cast<HANDLE>(GetWindowLongPtrA(control, GWLP_WNDPROC)));
    SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ControlSubclassProc));
}

bool HasOwnBehaviour(const ControlRow& row) {
    return row.kind == Kind::ImageButton || row.id == 输入_模拟方式 || row.id == 输入_超时设置;
}

// ---- Creation.

struct KindTraits {
    const char* className;
    DWORD style;
    DWORD exStyle;
};

KindTraits TraitsOf(Kind kind) {
    switch (kind) {
    case Kind::Edit:
        return {"EDIT", WS_TABSTOP | WS_BORDER, 0};
    case Kind::CheckBox:
        return {"BUTTON", WS_TABSTOP | BS_AUTOCHECKBOX | BS_VCENTER, 0};
    case Kind::Label:
        return {"STATIC", SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX, 0};
    case Kind::TransparentLabel:
        return {"STATIC", SS_CENTERIMAGE | SS_NOPREFIX, WS_EX_TRANSPARENT};
    case Kind::StatusLabel:
        return {StatusLabelClass, 0, 0};
    case Kind::PictureBox:
        return {PictureBoxClass, 0, 0};
    case Kind::ImageButton:
        return {"BUTTON", WS_TABSTOP | BS_OWNERDRAW, 0};
    }
    return {"STATIC", 0, 0};
}

void CreateControls(HWND window, HINSTANCE instance) {
    for (const ControlRow& row : Controls) {
        HWND parent = row.parent == InWindow ? window : ControlHwnd(static_cast<ControlId>(row.parent));
        KindTraits traits = TraitsOf(row.kind);
        HWND control = CreateWindowExA(
            traits.exStyle, traits.className, Ansi(row.text).c_str(),
            WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | traits.style | row.style, row.left, row.top, row.width,
            row.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id)), instance, nullptr);
        if (!control) continue;
        SetWindowFont(control, FontOf(row.font), FALSE);
        if (row.kind == Kind::Edit) Edit_LimitText(control, row.longest); // 0: no limit
        if (row.ticked) Button_SetCheck(control, BST_CHECKED);
        if (HasOwnBehaviour(row)) Subclass(control);
    }
}

// ---- The window's events.

BOOL OnCreate(HWND window, LPCREATESTRUCTA create) {
    TheMainWindow = window;
    WaitForPictures();
    CreateControls(window, create->hInstance);
    OnMainWindowCreated();
    // The layout follows the created event at once, before the window is first shown: the system's own
    // first size message may come only with the showing.
    ApplyLayout();
    return TRUE;
}

void OnSize(HWND, UINT state, int, int) {
    // Minimised, the client area is 0 x 0 and the rules would give negative sizes: the pass is skipped,
    // and the restore that follows runs it again on the real size.
    if (state == SIZE_MINIMIZED) return;
    ApplyLayout();
}

void OnCommand(HWND window, int id, HWND, UINT code) {
    // Owner-drawn buttons report a quick second click as a double click; it is a click all the same.
    bool clicked = code == BN_CLICKED || code == BN_DOUBLECLICKED;
    switch (id) {
    case 功能_主要功能:
        if (clicked) OnSendClicked();
        break;
    case 功能_关闭软件:
        if (clicked) OnCloseButtonClicked();
        break;
    case 输入_代理地址:
        if (code == EN_SETFOCUS) OnProxyFocus();
        if (code == EN_KILLFOCUS) OnProxyBlur();
        break;
    case IDCANCEL: // Esc: the same request as the close box
        FORWARD_WM_SYSCOMMAND(window, SC_CLOSE, 0, 0, SendMessageA);
        break;
    }
}

void OnClose(HWND window) {
    OnCloseRequest();
    FORWARD_WM_CLOSE(window, DefWindowProcA); // the default: the window is destroyed
}

void OnDestroy(HWND) {
    PostQuitMessage(0);
}

void OnNcDestroy(HWND window) {
    TheMainWindow = nullptr;
    LastFocus = nullptr;
    FORWARD_WM_NCDESTROY(window, DefWindowProcA);
}

void OnActivate(HWND window, UINT state, HWND other, BOOL minimized) {
    if (state == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(window, focus)) LastFocus = focus;
    }
    FORWARD_WM_ACTIVATE(window, state, other, minimized, DefWindowProcA);
}

// The window itself got the focus: hand it on to the control that had it last, the first time to the
// main button.
void OnSetFocus(HWND window, HWND) {
    HWND target = (LastFocus && IsChild(window, LastFocus)) ? LastFocus : ControlHwnd(功能_主要功能);
    if (target) SetFocus(target);
}

// A box of several lines asks its parent to move the focus on Tab and Shift+Tab, as in a dialog box.
HWND OnNextDialogControl(HWND window, HWND target, BOOL targetIsWindow) {
    HWND next = targetIsWindow ? target : GetNextDlgTabItem(window, GetFocus(), target != nullptr);
    if (next) {
        SetFocus(next);
        // Like a dialog box: an edit box reached by Tab has its text selected.
        if (SendMessageA(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) Edit_SetSel(next, 0, -1);
    }
    return nullptr;
}

// Image buttons: the face for the state, the caption over it.
void OnDrawItem(HWND, const DRAWITEMSTRUCT* item) {
    const ControlRow* row = RowOf(static_cast<int>(item->CtlID));
    if (!row || row->kind != Kind::ImageButton) return;
    bool pressed = item->itemState & ODS_SELECTED;
    Picture face = pressed                                                  ? Picture::ButtonPressed
                   : (item->itemState & ODS_FOCUS) || IsHot(item->hwndItem) ? Picture::ButtonHot
                                                                            : Picture::ButtonNormal;
    DrawPicture(item->hDC, face, item->rcItem, true);
    RECT place = item->rcItem;
    if (pressed) OffsetRect(&place, 1, 1);
    Text caption = HwndGetText(item->hwndItem);
    SetBkMode(item->hDC, TRANSPARENT);
    SetTextColor(item->hDC, row->textColour);
    HGDIOBJ before = SelectObject(item->hDC, GetWindowFont(item->hwndItem));
    DrawTextA(item->hDC, caption.c_str(), static_cast<int>(caption.size()), &place,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(item->hDC, before);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        HANDLE_MSG(window, WM_CREATE, OnCreate);
        HANDLE_MSG(window, WM_SIZE, OnSize);
        HANDLE_MSG(window, WM_COMMAND, OnCommand);
        HANDLE_MSG(window, WM_CLOSE, OnClose);
        HANDLE_MSG(window, WM_DESTROY, OnDestroy);
        HANDLE_MSG(window, WM_NCDESTROY, OnNcDestroy);
        HANDLE_MSG(window, WM_ACTIVATE, OnActivate);
        HANDLE_MSG(window, WM_SETFOCUS, OnSetFocus);
        HANDLE_MSG(window, WM_NEXTDLGCTL, OnNextDialogControl);
        HANDLE_MSG(window, WM_DRAWITEM, OnDrawItem);
        HANDLE_MSG(window, WM_CTLCOLOREDIT, OnCtlColor);
        HANDLE_MSG(window, WM_CTLCOLORSTATIC, OnCtlColor);
        HANDLE_MSG(window, WM_CTLCOLORBTN, OnCtlColor);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void RegisterClasses(HINSTANCE instance) {
    WNDCLASSEXA window{};
    window.cbSize = sizeof window;
    window.lpfnWndProc = MainWindowProc;
    window.hInstance = instance;
    window.hCursor = LoadCursor(nullptr, IDC_ARROW);
    window.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    window.hbrBackground = SolidBrush(WindowColour);
    window.lpszClassName = MainWindowClass;
    RegisterClassExA(&window);

    WNDCLASSEXA picture = window;
    picture.lpfnWndProc = PictureBoxProc;
    picture.hIcon = nullptr;
    picture.hbrBackground = nullptr;
    picture.lpszClassName = PictureBoxClass;
    RegisterClassExA(&picture);

    WNDCLASSEXA status = picture;
    status.lpfnWndProc = StatusLabelProc;
    status.cbWndExtra = sizeof(LONG_PTR); // its font
    status.lpszClassName = StatusLabelClass;
    RegisterClassExA(&status);
}

} // namespace

HWND MainWindowHwnd() {
    return TheMainWindow;
}

HWND ControlHwnd(ControlId id) {
    const ControlRow* row = RowOf(id);
    if (!row || !TheMainWindow) return nullptr;
    HWND parent = row->parent == InWindow ? TheMainWindow : ControlHwnd(static_cast<ControlId>(row->parent));
    return parent ? GetDlgItem(parent, id) : nullptr;
}

HWND CreateMainWindow(HINSTANCE instance) {
    RegisterClasses(instance);
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    int left = work.left + (work.right - work.left - OuterWidth) / 2;
    int top = work.top + (work.bottom - work.top - OuterHeight) / 2;
    return CreateWindowExA(WS_EX_APPWINDOW | WS_EX_CONTROLPARENT, MainWindowClass, "",
                           WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, left,
                           top, OuterWidth, OuterHeight, nullptr, nullptr, instance, nullptr);
}

void ApplyLayout() {
    RECT client{};
    GetClientRect(MainWindowHwnd(), &client);
    const int W = client.right;
    const int H = client.bottom;
    // In this order: later rules read back what earlier ones set.
    HwndSetWidth(ControlHwnd(背景_Top_A), W - 4);
    HwndSetLeft(ControlHwnd(背景_Top_C), W - 2);
    HWND company = ControlHwnd(显示_公司名称);
    HwndSetLeft(company, W - HwndWidth(company) - 4);
    HWND contact = ControlHwnd(显示_联系方式);
    HwndSetLeft(contact, W - HwndWidth(contact) - 4);
    HwndSetHeight(ControlHwnd(背景_左边线), H - 2);
    HwndSetHeight(ControlHwnd(背景_右边线), H - 2);
    HwndSetTop(ControlHwnd(背景_底边线_A), HwndHeight(ControlHwnd(背景_右边线)) - 1);
    HwndSetWidth(ControlHwnd(背景_底边线_A), W - 2);
    HwndSetLeft(ControlHwnd(背景_右边线), HwndWidth(ControlHwnd(背景_底边线_A)) - 1);
    HwndSetWidth(ControlHwnd(背景_底边线_B), W - 4);
    HwndSetWidth(ControlHwnd(背景_底边线_C), W - 4);
    HwndSetWidth(ControlHwnd(背景_顶边线), W - 4);
    HwndSetTop(ControlHwnd(背景_底边线_B), H - 50);
    HwndSetTop(ControlHwnd(功能_关闭软件), H - 40);
    HwndSetTop(ControlHwnd(功能_主要功能), H - 40);
    HWND mainButton = ControlHwnd(功能_主要功能);
    HwndSetLeft(mainButton, W - HwndWidth(mainButton) - 8);
    HwndSetWidth(ControlHwnd(显示_进度底部), W - 308);
    HwndSetWidth(ControlHwnd(显示_进度前景), W - 310);
    HwndSetWidth(ControlHwnd(显示_提示信息), W - 310);
    HwndSetTop(ControlHwnd(显示_进度底部), H - 24);
    HwndSetTop(ControlHwnd(显示_提示信息), H - 40);
}
