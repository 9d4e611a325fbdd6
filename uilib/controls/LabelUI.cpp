// The label: attributes, measuring, and painting in its plain, markup and
// GDI+ effects forms.
#include "LabelUI.h"

#include "UiAttrValues.h"
#include "UiRender.h"
#include "UiTrace.h"

#include <cwchar>

namespace UiLib {

namespace {

// GDI+ is reached through its flat interface, loaded at run time so that the
// library carries no import of gdiplus.dll; only what the effects text needs
// is declared here.
typedef void GpGraphics;
typedef void GpFont;
typedef void GpBrush;
typedef void GpStringFormat;
typedef int GpStatus;

struct GpPointI {
    INT x;
    INT y;
};

struct GpRectF {
    float x;
    float y;
    float width;
    float height;
};

struct GpStartupInput {
    UINT32 version;
    void* debugCallback;
    BOOL suppressBackgroundThread;
    BOOL suppressExternalCodecs;
};

const GpStatus kGpOk = 0;
const int kGpStringAlignNear = 0;
const int kGpStringAlignCenter = 1;
const int kGpWrapModeTile = 0;

struct GdiplusApi {
    GpStatus(WINAPI* startup)(ULONG_PTR*, const GpStartupInput*, void*);
    void(WINAPI* shutdown)(ULONG_PTR);
    GpStatus(WINAPI* fontFromLogfontA)(HDC, const LOGFONTA*, GpFont**);
    GpStatus(WINAPI* fontFromDc)(HDC, GpFont**);
    GpStatus(WINAPI* deleteFont)(GpFont*);
    GpStatus(WINAPI* graphicsFromDc)(HDC, GpGraphics**);
    GpStatus(WINAPI* deleteGraphics)(GpGraphics*);
    GpStatus(WINAPI* setTextRenderingHint)(GpGraphics*, int);
    GpStatus(WINAPI* createStringFormat)(INT, LANGID, GpStringFormat**);
    GpStatus(WINAPI* setFormatAlign)(GpStringFormat*, int);
    GpStatus(WINAPI* setFormatLineAlign)(GpStringFormat*, int);
    GpStatus(WINAPI* deleteStringFormat)(GpStringFormat*);
    GpStatus(WINAPI* createLineBrush)(const GpPointI*, const GpPointI*, DWORD, DWORD, int, GpBrush**);
    GpStatus(WINAPI* deleteBrush)(GpBrush*);
    GpStatus(WINAPI* drawString)(GpGraphics*, const WCHAR*, INT, const GpFont*, const GpRectF*, const GpStringFormat*,
                                 const GpBrush*);
    bool loaded;
};

template <typename Proc>
bool LoadProc(HMODULE module, const char* name, Proc& proc)
{
    proc = reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return proc != nullptr;
}

GdiplusApi LoadGdiplus()
{
    GdiplusApi api = {};
    // From the system folder only, never from beside the program; kept
    // loaded for the life of the process, since labels come and go.
    const wchar_t kFileName[] = L"\\gdiplus.dll";
    wchar_t path[MAX_PATH];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length + ARRAYSIZE(kFileName) > MAX_PATH)
        return api;
    wcscpy_s(path + length, MAX_PATH - length, kFileName);
    HMODULE module = LoadLibraryW(path);
    if (module == nullptr)
        return api;
    api.loaded = LoadProc(module, "GdiplusStartup", api.startup) && LoadProc(module, "GdiplusShutdown", api.shutdown) &&
                 LoadProc(module, "GdipCreateFontFromLogfontA", api.fontFromLogfontA) &&
                 LoadProc(module, "GdipCreateFontFromDC", api.fontFromDc) &&
                 LoadProc(module, "GdipDeleteFont", api.deleteFont) &&
                 LoadProc(module, "GdipCreateFromHDC", api.graphicsFromDc) &&
                 LoadProc(module, "GdipDeleteGraphics", api.deleteGraphics) &&
                 LoadProc(module, "GdipSetTextRenderingHint", api.setTextRenderingHint) &&
                 LoadProc(module, "GdipCreateStringFormat", api.createStringFormat) &&
                 LoadProc(module, "GdipSetStringFormatAlign", api.setFormatAlign) &&
                 LoadProc(module, "GdipSetStringFormatLineAlign", api.setFormatLineAlign) &&
                 LoadProc(module, "GdipDeleteStringFormat", api.deleteStringFormat) &&
                 LoadProc(module, "GdipCreateLineBrushI", api.createLineBrush) &&
                 LoadProc(module, "GdipDeleteBrush", api.deleteBrush) &&
                 LoadProc(module, "GdipDrawString", api.drawString);
    return api;
}

const GdiplusApi& Gdiplus()
{
    static const GdiplusApi api = LoadGdiplus();
    return api;
}

// GDI+ is started once for all labels and shut down with the last of them;
// the UI library runs on one thread, so the count needs no lock.
int gdiplusUsers = 0;
ULONG_PTR gdiplusToken = 0;

void AcquireGdiplus()
{
    if (gdiplusUsers++ > 0)
        return;
    const GdiplusApi& api = Gdiplus();
    const GpStartupInput input = {1, nullptr, FALSE, FALSE};
    if (!api.loaded || api.startup(&gdiplusToken, &input, nullptr) != kGpOk)
        gdiplusToken = 0;
}

void ReleaseGdiplus()
{
    if (--gdiplusUsers > 0)
        return;
    if (gdiplusToken != 0)
        Gdiplus().shutdown(gdiplusToken);
    gdiplusToken = 0;
}

// Every GDI+ object of one effects paint, deleted together.
struct EffectsObjects {
    GpGraphics* graphics = nullptr;
    GpFont* font = nullptr;
    GpStringFormat* format = nullptr;
    GpBrush* strokeBrush = nullptr;
    GpBrush* shadowBrush = nullptr;
    GpBrush* textBrush = nullptr;

    EffectsObjects() = default;
    EffectsObjects(const EffectsObjects&) = delete;
    EffectsObjects& operator=(const EffectsObjects&) = delete;
    ~EffectsObjects()
    {
        const GdiplusApi& api = Gdiplus();
        if (strokeBrush != nullptr)
            api.deleteBrush(strokeBrush);
        if (shadowBrush != nullptr)
            api.deleteBrush(shadowBrush);
        if (textBrush != nullptr)
            api.deleteBrush(textBrush);
        if (format != nullptr)
            api.deleteStringFormat(format);
        if (font != nullptr)
            api.deleteFont(font);
        if (graphics != nullptr)
            api.deleteGraphics(graphics);
    }
};

GpBrush* CreateGradientBrush(int startX, int endY, DWORD color1, DWORD color2)
{
    const GpPointI from = {startX, 0};
    const GpPointI to = {0, endY};
    GpBrush* brush = nullptr;
    if (Gdiplus().createLineBrush(&from, &to, color1, color2, kGpWrapModeTile, &brush) != kGpOk)
        return nullptr;
    return brush;
}

DWORD WithAlpha(int alpha, DWORD color)
{
    return (static_cast<DWORD>(alpha) << 24) | (color & 0xFFFFFF);
}

const int kMaxRenderingHint = 5;
const DWORD kNoColor1 = 0xFFFFFFFF;
const int kLabelExtraHeight = 4;

bool ReadBool(const wchar_t* value)
{
    return wcscmp(value, L"true") == 0;
}

int ReadInt(const wchar_t* value)
{
    return static_cast<int>(wcstol(value, nullptr, 10));
}

bool Contains(const wchar_t* text, const wchar_t* word)
{
    return wcsstr(text, word) != nullptr;
}

// Each word found is applied in turn, so "vcenter" also counts as "center".
UINT ApplyAlign(UINT style, const wchar_t* value)
{
    if (Contains(value, L"left"))
        style &= ~(DT_CENTER | DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
    if (Contains(value, L"center")) {
        style &= ~DT_RIGHT;
        style |= DT_CENTER;
    }
    if (Contains(value, L"right")) {
        style &= ~(DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        style |= DT_RIGHT;
    }
    if (Contains(value, L"top")) {
        style &= ~(DT_VCENTER | DT_BOTTOM);
        style |= DT_SINGLELINE;
    }
    if (Contains(value, L"vcenter")) {
        style &= ~DT_BOTTOM;
        style |= DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    }
    if (Contains(value, L"bottom")) {
        style &= ~DT_VCENTER;
        style |= DT_BOTTOM | DT_SINGLELINE;
    }
    return style;
}

}  // namespace

CLabelUI::CLabelUI()
    : textColor_(0),
      disabledTextColor_(0),
      font_(-1),
      textStyle_(DT_VCENTER),
      textPadding_(),
      showHtml_(false),
      shadowStartAlpha_(60),
      shadowEndAlpha_(60),
      textStartAlpha_(168),
      textEndAlpha_(168),
      strokeAlpha_(255),
      gradientLength_(0),
      gradientStart_(0),
      effectsEnabled_(false),
      strokeEnabled_(false),
      shadowEnabled_(false),
      textColor1_(kNoColor1),
      shadowColorA_(0xFF000000),
      shadowColorB_(kNoColor1),
      strokeColor_(0),
      shadowOffsetX_(0.0f),
      shadowOffsetY_(0.0f),
      labelText_(),
      renderingHint_(0)
{
    AcquireGdiplus();
}

CLabelUI::~CLabelUI()
{
    ReleaseGdiplus();
}

const wchar_t* CLabelUI::GetTypeName() const
{
    return L"LabelUI";
}

void* CLabelUI::CastByName(const wchar_t* name)
{
    if (name != nullptr && wcscmp(name, L"Label") == 0)
        return this;
    return CControlUI::CastByName(name);
}

// Copying a CUiString never throws: a failed allocation leaves the copy
// empty, so that is what is checked and traced.
CUiString CLabelUI::GetText() const
{
    if (!effectsEnabled_)
        return CControlUI::GetText();
    CUiString text(labelText_);
    if (text.GetLength() != labelText_.GetLength())
        UiTrace(L"CLabelUI::GetText: out of memory, the text is lost");
    return text;
}

// A failed allocation leaves the label-own text as it was.
void CLabelUI::SetText(const wchar_t* text)
{
    if (!effectsEnabled_) {
        CControlUI::SetText(text);
        return;
    }
    const wchar_t* wanted = text != nullptr ? text : L"";
    labelText_ = wanted;
    if (!(labelText_ == wanted))
        UiTrace(L"CLabelUI::SetText: out of memory, the text is unchanged");
}

void CLabelUI::ProcessEvent(UiEvent& event)
{
    if (event.type == kUiEventSetFocus) {
        focused_ = true;
        return;
    }
    if (event.type == kUiEventKillFocus) {
        focused_ = false;
        return;
    }
    CControlUI::ProcessEvent(event);
}

void CLabelUI::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (name == nullptr || value == nullptr)
        return;
    if (wcscmp(name, L"align") == 0)
        textStyle_ = ApplyAlign(textStyle_, value);
    else if (wcscmp(name, L"endellipsis") == 0)
        textStyle_ = ReadBool(value) ? (textStyle_ | DT_END_ELLIPSIS) : (textStyle_ & ~DT_END_ELLIPSIS);
    else if (wcscmp(name, L"font") == 0)
        SetFont(ReadInt(value));
    else if (wcscmp(name, L"textcolor") == 0)
        SetTextColor(ReadHexColor(value));
    else if (wcscmp(name, L"disabledtextcolor") == 0)
        SetDisabledTextColor(ReadHexColor(value));
    else if (wcscmp(name, L"textpadding") == 0)
        SetTextPadding(ReadRectValue(value));
    else if (wcscmp(name, L"showhtml") == 0)
        SetShowHtml(ReadBool(value));
    else if (wcscmp(name, L"enabledeffect") == 0)
        SetEffectsEnabled(ReadBool(value));
    else if (wcscmp(name, L"rhaa") == 0)
        SetTextRenderingHint(ReadInt(value));
    else if (wcscmp(name, L"transshadow") == 0)
        SetShadowStartAlpha(ReadInt(value));
    else if (wcscmp(name, L"transtext") == 0)
        SetTextStartAlpha(ReadInt(value));
    else if (wcscmp(name, L"transshadow1") == 0)
        SetShadowEndAlpha(ReadInt(value));
    else if (wcscmp(name, L"transtext1") == 0)
        SetTextEndAlpha(ReadInt(value));
    else if (wcscmp(name, L"transstroke") == 0)
        SetStrokeAlpha(ReadInt(value));
    else if (wcscmp(name, L"gradientangle") == 0)
        SetGradientStart(ReadInt(value));
    else if (wcscmp(name, L"enabledstroke") == 0)
        SetStrokeEnabled(ReadBool(value));
    else if (wcscmp(name, L"enabledshadow") == 0)
        SetShadowEnabled(ReadBool(value));
    else if (wcscmp(name, L"gradientlength") == 0)
        SetGradientLength(ReadInt(value));
    else if (wcscmp(name, L"shadowoffset") == 0) {
        long numbers[2];
        ReadNumberList(value, numbers, 2);
        SetShadowOffset(static_cast<int>(numbers[0]), static_cast<int>(numbers[1]));
    } else if (wcscmp(name, L"textcolor1") == 0)
        SetTextColor1(ReadHexColor(value));
    else if (wcscmp(name, L"textshadowcolora") == 0)
        SetShadowColorA(ReadHexColor(value));
    else if (wcscmp(name, L"textshadowcolorb") == 0)
        SetShadowColorB(ReadHexColor(value));
    else if (wcscmp(name, L"strokecolor") == 0)
        SetStrokeColor(ReadHexColor(value));
    else
        CControlUI::SetAttribute(name, value);
}

int CLabelUI::GetFontHeight()
{
    if (manager_ == nullptr)
        return 0;
    const UiFontInfo* info = manager_->GetFontInfo(font_);
    return info != nullptr ? info->metrics.tmHeight : 0;
}

bool CLabelUI::PassMouseEventUp(UiEvent& event)
{
    if (IsMouseEnabled() || event.type < kUiEventMouseFirst || event.type > kUiEventMouseLast)
        return false;
    if (parent_ != nullptr)
        parent_->ProcessEvent(event);
    else
        CLabelUI::ProcessEvent(event);
    return true;
}

SIZE CLabelUI::MeasureSize(SIZE available)
{
    if (fixedHeight_ != 0)
        return CControlUI::MeasureSize(available);
    SIZE size = {fixedWidth_, GetFontHeight() + kLabelExtraHeight};
    return size;
}

void CLabelUI::TakeDefaultColors()
{
    if (manager_ == nullptr)
        return;
    if (textColor_ == 0)
        textColor_ = manager_->GetDefaultFontColor();
    if (disabledTextColor_ == 0)
        disabledTextColor_ = manager_->GetDefaultDisabledColor();
}

RECT CLabelUI::GetTextRect() const
{
    RECT rc = itemRect_;
    rc.left += textPadding_.left;
    rc.top += textPadding_.top;
    rc.right -= textPadding_.right;
    rc.bottom -= textPadding_.bottom;
    return rc;
}

void CLabelUI::DrawLabelText(HDC hdc, RECT& rc, const wchar_t* text, DWORD color, UINT style)
{
    if (showHtml_) {
        int links = 0;
        CUiRender::DrawMarkupText(hdc, manager_, rc, text, color, nullptr, nullptr, links, style);
    } else {
        CUiRender::DrawPlainText(hdc, manager_, rc, text, color, font_, style);
    }
}

void CLabelUI::PaintText(HDC hdc)
{
    TakeDefaultColors();
    if (effectsEnabled_) {
        PaintEffectsText(hdc);
        return;
    }
    if (text_.IsEmpty())
        return;
    RECT rc = GetTextRect();
    const DWORD color = IsEnabled() ? textColor_ : disabledTextColor_;
    DrawLabelText(hdc, rc, text_.GetData(), color, textStyle_ | DT_SINGLELINE);
}

void CLabelUI::PaintEffectsText(HDC hdc)
{
    const GdiplusApi& api = Gdiplus();
    if (!api.loaded || gdiplusToken == 0 || hdc == nullptr)
        return;
    const RECT rc = GetTextRect();
    EffectsObjects gp;
    HFONT hfont = manager_ != nullptr ? manager_->GetFont(font_) : nullptr;
    LOGFONTA logfont = {};
    if (hfont == nullptr || GetObjectA(hfont, sizeof(logfont), &logfont) != sizeof(logfont) ||
        api.fontFromLogfontA(hdc, &logfont, &gp.font) != kGpOk)
        api.fontFromDc(hdc, &gp.font);
    if (gp.font == nullptr || api.graphicsFromDc(hdc, &gp.graphics) != kGpOk)
        return;
    api.setTextRenderingHint(gp.graphics, renderingHint_);
    if (api.createStringFormat(0, LANG_NEUTRAL, &gp.format) != kGpOk)
        return;
    api.setFormatAlign(gp.format, kGpStringAlignNear);
    api.setFormatLineAlign(gp.format, kGpStringAlignCenter);

    const GpRectF layout = {static_cast<float>(rc.left), static_cast<float>(rc.top),
                            static_cast<float>(rc.right - rc.left), static_cast<float>(rc.bottom - rc.top)};
    const int length = gradientLength_ != 0 ? gradientLength_ : rc.bottom - rc.top;
    const wchar_t* text = labelText_.GetData();

    if (strokeEnabled_ && strokeColor_ != 0) {
        const DWORD stroke = WithAlpha(strokeAlpha_, strokeColor_);
        gp.strokeBrush = CreateGradientBrush(gradientStart_, rc.bottom - rc.top + 2, stroke, stroke);
        if (gp.strokeBrush != nullptr) {
            const float moves[4][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
            for (const auto& move : moves) {
                const GpRectF moved = {layout.x + move[0], layout.y + move[1], layout.width, layout.height};
                api.drawString(gp.graphics, text, -1, gp.font, &moved, gp.format, gp.strokeBrush);
            }
        }
    }
    if (shadowEnabled_ && (shadowColorA_ != 0 || shadowColorB_ != 0)) {
        const DWORD endColor = shadowColorB_ != kNoColor1 ? shadowColorB_ : shadowColorA_;
        gp.shadowBrush = CreateGradientBrush(gradientStart_, length, WithAlpha(shadowStartAlpha_, shadowColorA_),
                                             WithAlpha(shadowEndAlpha_, endColor));
        const GpRectF shadow = {layout.x + shadowOffsetX_, layout.y + shadowOffsetY_, layout.width, layout.height};
        if (gp.shadowBrush != nullptr)
            api.drawString(gp.graphics, text, -1, gp.font, &shadow, gp.format, gp.shadowBrush);
    }
    const DWORD endColor = textColor1_ != kNoColor1 ? textColor1_ : textColor_;
    gp.textBrush = CreateGradientBrush(gradientStart_, length, WithAlpha(textStartAlpha_, textColor_),
                                       WithAlpha(textEndAlpha_, endColor));
    if (gp.textBrush != nullptr)
        api.drawString(gp.graphics, text, -1, gp.font, &layout, gp.format, gp.textBrush);
}

void CLabelUI::SetTextColor(DWORD color)
{
    textColor_ = color;
    Invalidate();
}

void CLabelUI::SetDisabledTextColor(DWORD color)
{
    disabledTextColor_ = color;
    Invalidate();
}

void CLabelUI::SetFont(int index)
{
    font_ = index;
    Invalidate();
}

void CLabelUI::SetTextStyle(UINT style)
{
    textStyle_ = style;
    Invalidate();
}

void CLabelUI::SetTextPadding(const RECT& padding)
{
    textPadding_ = padding;
    Invalidate();
}

void CLabelUI::SetShowHtml(bool show)
{
    if (showHtml_ == show)
        return;
    showHtml_ = show;
    Invalidate();
}

void CLabelUI::SetEffectsEnabled(bool enabled)
{
    effectsEnabled_ = enabled;
}

void CLabelUI::SetStrokeEnabled(bool enabled)
{
    strokeEnabled_ = enabled;
}

void CLabelUI::SetShadowEnabled(bool enabled)
{
    shadowEnabled_ = enabled;
}

void CLabelUI::SetTextRenderingHint(int hint)
{
    renderingHint_ = hint >= 0 && hint <= kMaxRenderingHint ? hint : 0;
}

void CLabelUI::SetShadowStartAlpha(int alpha)
{
    shadowStartAlpha_ = alpha;
}

void CLabelUI::SetShadowEndAlpha(int alpha)
{
    shadowEndAlpha_ = alpha;
}

void CLabelUI::SetTextStartAlpha(int alpha)
{
    textStartAlpha_ = alpha;
}

void CLabelUI::SetTextEndAlpha(int alpha)
{
    textEndAlpha_ = alpha;
}

void CLabelUI::SetStrokeAlpha(int alpha)
{
    strokeAlpha_ = alpha;
}

void CLabelUI::SetGradientLength(int length)
{
    gradientLength_ = length;
}

void CLabelUI::SetGradientStart(int x)
{
    gradientStart_ = x;
}

void CLabelUI::SetTextColor1(DWORD color)
{
    textColor1_ = color;
}

void CLabelUI::SetShadowColorA(DWORD color)
{
    shadowColorA_ = color;
}

void CLabelUI::SetShadowColorB(DWORD color)
{
    shadowColorB_ = color;
}

void CLabelUI::SetStrokeColor(DWORD color)
{
    strokeColor_ = color;
}

// The offset is relative to the text rect, so it does not depend on where the
// control happens to be when it is set.
void CLabelUI::SetShadowOffset(int distance, int angle)
{
    if (angle < -180 || angle > 180)
        return;
    // Measured from the label's top (x) and left (y) as they are now: zero
    // while the markup is applied, before the first layout.
    const int top = itemRect_.top;
    const int left = itemRect_.left;
    int x = top;
    if (angle >= 0)
        x = top - distance;
    else if (angle >= -179)
        x = top + distance;
    int y = left + distance;
    if (angle > -90 && angle <= 90)
        y = left - distance;
    else if (angle == -90)
        y = left;
    shadowOffsetX_ = static_cast<float>(x);
    shadowOffsetY_ = static_cast<float>(y);
}

}  // namespace UiLib
