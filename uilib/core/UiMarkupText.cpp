// Drawing of texts with inline formatting tags: links, bold, underline,
// italic, colours, fonts, images, line and paragraph breaks, raw text and
// selection. The markup comes from skins and is read defensively: every
// look-ahead stops at the terminator and every stack pop checks for an opener.
#include "UiRender.h"

#include "UiAttrValues.h"
#include "UiGdi.h"
#include "UiImageAttr.h"
#include "UiManager.h"

#include <algorithm>
#include <cwchar>
#include <vector>

namespace UiLib {

namespace {

const int kDefaultFaceSize = 10;

bool IsOpenBracket(wchar_t ch)
{
    return ch == L'<' || ch == L'{';
}

bool IsCloseBracket(wchar_t ch)
{
    return ch == L'>' || ch == L'}';
}

bool IsTagLetter(wchar_t ch)
{
    return ch >= L'a' && ch <= L'z';
}

bool IsAsciiLetter(wchar_t ch)
{
    return (ch >= L'a' && ch <= L'z') || (ch >= L'A' && ch <= L'Z');
}

// "<b>", "{c #FF0000}": a bracket, a letter, then a blank or a closing bracket.
bool IsOpeningTag(const wchar_t* p)
{
    return IsOpenBracket(p[0]) && IsTagLetter(p[1]) && (p[2] == L' ' || IsCloseBracket(p[2]));
}

// A closing tag takes any letter; one of no meaning is skipped.
bool IsClosingTag(const wchar_t* p)
{
    return IsOpenBracket(p[0]) && p[1] == L'/' && IsAsciiLetter(p[2]);
}

// "<{>" and "<}>" stand for '{' and '}'; "{<}" and "{>}" for '<' and '>'.
bool IsEscape(const wchar_t* p)
{
    if (p[0] == L'<')
        return (p[1] == L'{' || p[1] == L'}') && p[2] == L'>';
    if (p[0] == L'{')
        return (p[1] == L'<' || p[1] == L'>') && p[2] == L'}';
    return false;
}

// "</r>" or "{/r}", each with its own pair of brackets.
bool IsRawEnd(const wchar_t* p)
{
    return (p[0] == L'<' && p[1] == L'/' && p[2] == L'r' && p[3] == L'>') ||
           (p[0] == L'{' && p[1] == L'/' && p[2] == L'r' && p[3] == L'}');
}

// The end of a tag's text: the next closing bracket, or the terminator.
const wchar_t* TagEnd(const wchar_t* p)
{
    while (*p != L'\0' && !IsCloseBracket(*p))
        ++p;
    return p;
}

const wchar_t* PastTag(const wchar_t* p)
{
    const wchar_t* end = TagEnd(p);
    return *end != L'\0' ? end + 1 : end;
}

const wchar_t* SkipBlanks(const wchar_t* p)
{
    while (*p == L' ')
        ++p;
    return p;
}

int LineHeightOf(const UiFontInfo* font)
{
    return font->metrics.tmHeight + font->metrics.tmExternalLeading;
}

SIZE TextSize(HDC hdc, const wchar_t* text, int length)
{
    SIZE size = {0, 0};
    if (length > 0)
        GetTextExtentPoint32W(hdc, text, length, &size);
    return size;
}

// The per-call state of one markup drawing.
class MarkupPainter {
public:
    MarkupPainter(HDC hdc, CUiManager* manager, RECT& rc, DWORD color, RECT* linkRects, CUiString* linkTexts,
                  int linkCapacity, UINT format)
        : hdc_(hdc),
          manager_(manager),
          rc_(rc),
          defaultColor_(color),
          linkRects_(linkRects),
          linkTexts_(linkTexts),
          linkCapacity_(linkRects != nullptr && linkTexts != nullptr ? std::max(0, linkCapacity) : 0),
          format_(format),
          calcRect_((format & DT_CALCRECT) != 0),
          singleLine_((format & DT_SINGLELINE) != 0)
    {
    }

    void Run(const wchar_t* text);
    int LinkCount() const { return std::min(linkIndex_, linkCapacity_); }

private:
    // What a line's drawing pass starts again from.
    struct LineStart {
        const wchar_t* p;
        POINT pt;
        std::vector<const UiFontInfo*> fonts;
        std::vector<DWORD> colors;
        std::vector<int> spacings;
        bool inLink;
        bool selected;
        bool raw;
        POINT linkStart;
    };

    LineStart Save() const;
    void Restore(const LineStart& start);
    void ScanLine();
    void Step();
    void FinishLinksOfLine();
    bool NextLine();

    void OpeningTag();
    void ClosingTag();
    void LinkTag(const wchar_t* args, const wchar_t* end);
    void FontTag(const wchar_t* args, const wchar_t* end);
    bool ImageTag(const wchar_t* args, const wchar_t* end);
    int LayOutRun(const wchar_t* run, int length);
    int DrawChars(const wchar_t* text, int length, int width);

    const UiFontInfo* Font() const;
    DWORD Color() const;
    int Spacing() const { return spacings_.empty() ? 0 : spacings_.back(); }
    void PushFont(const UiFontInfo* font);
    void PopFont();
    void PushStyledFont(bool bold, bool underline, bool italic);
    void PushColor(DWORD color);
    void PopColor();
    void ApplySelection();
    void GrowLine(int height);
    bool Measuring() const { return !drawPass_; }
    bool LinkSlot(int index) const { return index >= 0 && index < linkCapacity_; }

    HDC hdc_;
    CUiManager* manager_;
    RECT& rc_;
    DWORD defaultColor_;
    RECT* linkRects_;
    CUiString* linkTexts_;
    int linkCapacity_;
    UINT format_;
    bool calcRect_;
    bool singleLine_;

    const wchar_t* p_ = nullptr;
    POINT pt_ = {0, 0};
    int maxX_ = 0;
    int lowestImage_ = 0;
    int lineHeight_ = 0;
    std::vector<const UiFontInfo*> fonts_;
    std::vector<DWORD> colors_;
    std::vector<int> spacings_;
    bool inLink_ = false;
    bool selected_ = false;
    bool raw_ = false;
    bool lineEnd_ = false;
    bool drawPass_ = false;
    int linkIndex_ = 0;
    int lineFirstLink_ = 0;
    POINT linkStart_ = {0, 0};
    CUiString hoverLink_;
};

const UiFontInfo* MarkupPainter::Font() const
{
    return fonts_.empty() ? manager_->GetDefaultFontInfo() : fonts_.back();
}

DWORD MarkupPainter::Color() const
{
    return colors_.empty() ? defaultColor_ : colors_.back();
}

void MarkupPainter::GrowLine(int height)
{
    if (Measuring())
        lineHeight_ = std::max(lineHeight_, height);
}

void MarkupPainter::PushFont(const UiFontInfo* font)
{
    fonts_.push_back(font);
    SelectObject(hdc_, font->font);
    GrowLine(LineHeightOf(font));
}

void MarkupPainter::PopFont()
{
    if (fonts_.empty())
        return;
    const UiFontInfo* closed = fonts_.back();
    fonts_.pop_back();
    const UiFontInfo* restored = Font();
    if (closed->italic && !restored->italic) {
        // The slant of the closed run leans over into the next one.
        ABC abc = {};
        if (GetCharABCWidthsW(hdc_, L' ', L' ', &abc))
            pt_.x += static_cast<int>(abc.abcC) / 2;
    }
    SelectObject(hdc_, restored->font);
}

// A variant of the current font with one more style; a font that already
// has the style pushes nothing (its closing tag still pops).
void MarkupPainter::PushStyledFont(bool bold, bool underline, bool italic)
{
    const UiFontInfo* current = Font();
    bold = bold || current->bold;
    underline = underline || current->underline;
    italic = italic || current->italic;
    if (bold == current->bold && underline == current->underline && italic == current->italic)
        return;
    const wchar_t* face = current->faceName.GetData();
    HFONT font = manager_->FindFont(face, current->size, bold, underline, italic);
    if (font == nullptr)
        font = manager_->AddFont(face, current->size, bold, underline, italic);
    PushFont(font != nullptr ? manager_->GetFontInfoOf(font) : current);
}

void MarkupPainter::PushColor(DWORD color)
{
    colors_.push_back(color);
    SetTextColor(hdc_, ToColorRef(color));
}

void MarkupPainter::PopColor()
{
    if (!colors_.empty())
        colors_.pop_back();
    SetTextColor(hdc_, ToColorRef(Color()));
}

void MarkupPainter::ApplySelection()
{
    SetBkMode(hdc_, selected_ && drawPass_ ? OPAQUE : TRANSPARENT);
}

MarkupPainter::LineStart MarkupPainter::Save() const
{
    return LineStart{p_, pt_, fonts_, colors_, spacings_, inLink_, selected_, raw_, linkStart_};
}

void MarkupPainter::Restore(const LineStart& start)
{
    p_ = start.p;
    pt_ = start.pt;
    fonts_ = start.fonts;
    colors_ = start.colors;
    spacings_ = start.spacings;
    inLink_ = start.inLink;
    selected_ = start.selected;
    raw_ = start.raw;
    linkStart_ = start.linkStart;
    SelectObject(hdc_, Font()->font);
    SetTextColor(hdc_, ToColorRef(Color()));
    ApplySelection();
}

void MarkupPainter::Run(const wchar_t* text)
{
    pt_.x = rc_.left;
    pt_.y = rc_.top;
    maxX_ = rc_.left;
    lowestImage_ = rc_.top;
    linkStart_ = pt_;
    p_ = text;
    if (!calcRect_) {
        // The first incoming link rectangle under the mouse names the link to
        // draw in the hover colour.
        const POINT mouse = manager_->GetMousePos();
        for (int i = 0; i < linkCapacity_; ++i) {
            if (PtInRect(&linkRects_[i], mouse)) {
                hoverLink_ = linkTexts_[i];
                break;
            }
        }
    }
    for (int i = 0; i < linkCapacity_; ++i)
        SetRectEmpty(&linkRects_[i]);
    lineHeight_ = LineHeightOf(Font());
    while (*p_ != L'\0') {
        const wchar_t* lineBegin = p_;
        lineFirstLink_ = linkIndex_;
        if (calcRect_) {
            ScanLine();
            FinishLinksOfLine();
        } else {
            const LineStart start = Save();
            drawPass_ = false;
            ScanLine();
            FinishLinksOfLine();
            const int measured = lineHeight_;
            Restore(start);
            drawPass_ = true;
            ApplySelection();
            lineHeight_ = measured;
            ScanLine();
            drawPass_ = false;
            ApplySelection();
        }
        if (p_ == lineBegin && *p_ != L'\n')
            break;  // a line that takes nothing would repeat for ever
        if (!NextLine())
            break;
    }
    if (calcRect_) {
        rc_.bottom = std::max<LONG>(pt_.y + lineHeight_, lowestImage_);
        rc_.right = std::min<LONG>(rc_.right, maxX_);
    }
}

// Closes the link rectangles of the line just measured: every one reaches
// down to the line's bottom, and a link still open continues on the next
// line in a slot of its own.
void MarkupPainter::FinishLinksOfLine()
{
    const LONG bottom = pt_.y + lineHeight_;
    if (inLink_) {
        if (LinkSlot(linkIndex_)) {
            linkRects_[linkIndex_] = RECT{linkStart_.x, linkStart_.y, std::min<LONG>(pt_.x, rc_.right), bottom};
            if (LinkSlot(linkIndex_ + 1))
                linkTexts_[linkIndex_ + 1] = linkTexts_[linkIndex_];
        }
        ++linkIndex_;
    }
    for (int i = std::max(0, lineFirstLink_); i < std::min(linkIndex_, linkCapacity_); ++i)
        linkRects_[i].bottom = bottom;
}

// Moves the pen to the next line; false when drawing must stop.
bool MarkupPainter::NextLine()
{
    if (singleLine_)
        return false;
    // A line ends only where text follows, a line feed included: a text
    // that ends in one has an empty last line.
    const bool lineFeed = *p_ == L'\n';
    if (lineFeed)
        ++p_;
    if (!lineFeed && *p_ == L'\0')
        return false;
    pt_.x = rc_.left;
    pt_.y += lineHeight_;
    if (!calcRect_ && pt_.y > rc_.bottom)
        return false;
    linkStart_ = pt_;
    lineHeight_ = LineHeightOf(Font()) + Spacing();
    return *p_ != L'\0' && pt_.x < rc_.right;
}

void MarkupPainter::ScanLine()
{
    lineEnd_ = false;
    while (!lineEnd_) {
        if (*p_ == L'\0' || *p_ == L'\n' || pt_.x >= rc_.right)
            break;
        Step();
        if (pt_.x >= rc_.right || *p_ == L'\n' || *p_ == L'\0')
            lineEnd_ = true;
    }
}

void MarkupPainter::Step()
{
    if (raw_ && IsRawEnd(p_)) {
        raw_ = false;
        p_ += 4;
        return;
    }
    if (!raw_ && IsOpeningTag(p_)) {
        OpeningTag();
        return;
    }
    if (!raw_ && IsClosingTag(p_)) {
        ClosingTag();
        return;
    }
    if (!raw_ && IsEscape(p_)) {
        const wchar_t ch = p_[1];
        if (LayOutRun(&ch, 1) > 0)
            p_ += 3;
        return;
    }
    if (*p_ == L' ') {
        p_ += LayOutRun(p_, 1);
        return;
    }
    // A run: up to the line break, the next bracket (in raw mode the raw
    // closing tag) or the end; a bracket that starts no tag is text.
    const wchar_t* end = p_ + 1;
    while (*end != L'\0' && *end != L'\n') {
        if (raw_ ? IsRawEnd(end) : IsOpenBracket(*end))
            break;
        ++end;
    }
    p_ += LayOutRun(p_, static_cast<int>(end - p_));
}

void MarkupPainter::OpeningTag()
{
    const wchar_t letter = p_[1];
    const wchar_t* args = SkipBlanks(p_ + 2);
    const wchar_t* end = TagEnd(p_ + 2);
    if (args > end)
        args = end;
    switch (letter) {
    case L'a':
        LinkTag(args, end);
        break;
    case L'b':
        PushStyledFont(true, false, false);
        break;
    case L'u':
        PushStyledFont(false, true, false);
        break;
    case L'i':
        if (IsCloseBracket(p_[2])) {
            PushStyledFont(false, false, true);
        } else if (!ImageTag(args, end)) {
            lineEnd_ = true;  // read again on the next line
            return;
        }
        break;
    case L'c':
        PushColor(ReadHexColor(CUiString(args, static_cast<int>(end - args)).GetData()));
        break;
    case L'f':
        FontTag(args, end);
        break;
    case L'n':
        if (!singleLine_)
            lineEnd_ = true;
        break;
    case L'p':
        // The paragraph starts on a line of its own; the line that it ends
        // already takes its spacing.
        if (pt_.x > rc_.left)
            lineEnd_ = true;
        spacings_.push_back(static_cast<int>(wcstol(args, nullptr, 10)));
        GrowLine(Spacing() + LineHeightOf(Font()));
        break;
    case L'r':
        raw_ = true;
        break;
    case L's':
        selected_ = !selected_;
        ApplySelection();
        break;
    case L'x':
        pt_.x += static_cast<int>(wcstol(args, nullptr, 10));
        break;
    case L'y':
        if (Measuring())
            lineHeight_ = static_cast<int>(wcstol(args, nullptr, 10));
        break;
    default:
        break;
    }
    p_ = *end != L'\0' ? end + 1 : end;
}

void MarkupPainter::ClosingTag()
{
    const wchar_t letter = p_[2];
    switch (letter) {
    case L'a':
        if (Measuring() && LinkSlot(linkIndex_))
            linkRects_[linkIndex_] = RECT{linkStart_.x, linkStart_.y, pt_.x, pt_.y + LineHeightOf(Font())};
        if (Measuring())
            ++linkIndex_;
        inLink_ = false;
        PopColor();
        PopFont();
        break;
    case L'b':
    case L'f':
    case L'i':
    case L'u':
        PopFont();
        break;
    case L'c':
        PopColor();
        break;
    case L'p':
        if (!spacings_.empty())
            spacings_.pop_back();
        if (pt_.x > rc_.left)
            lineEnd_ = true;
        break;
    case L's':
        selected_ = !selected_;
        ApplySelection();
        break;
    default:
        break;
    }
    p_ = PastTag(p_ + 2);
}

void MarkupPainter::LinkTag(const wchar_t* args, const wchar_t* end)
{
    const CUiString target(args, static_cast<int>(end - args));
    if (Measuring() && LinkSlot(linkIndex_))
        linkTexts_[linkIndex_] = target;
    const bool hovered = !hoverLink_.IsEmpty() && hoverLink_ == target;
    PushColor(hovered ? manager_->GetDefaultLinkHoverFontColor() : manager_->GetDefaultLinkFontColor());
    PushStyledFont(false, true, false);
    linkStart_ = pt_;
    inLink_ = true;
}

// "f 2" is the manager's font 2; "f Face 12 bold italic" a font by its face.
void MarkupPainter::FontTag(const wchar_t* args, const wchar_t* end)
{
    if (args < end && *args >= L'0' && *args <= L'9') {
        PushFont(manager_->GetFontInfo(static_cast<int>(wcstol(args, nullptr, 10))));
        return;
    }
    const wchar_t* faceEnd = args;
    while (faceEnd < end && *faceEnd != L' ')
        ++faceEnd;
    // The manager cuts a face that LOGFONTW cannot hold.
    const CUiString face(args, static_cast<int>(faceEnd - args));
    const CUiString rest(faceEnd, static_cast<int>(end - faceEnd));
    const wchar_t* sizeText = SkipBlanks(rest.GetData());
    int size = kDefaultFaceSize;
    wchar_t* afterSize = const_cast<wchar_t*>(sizeText);
    if (*sizeText >= L'0' && *sizeText <= L'9')
        size = static_cast<int>(wcstol(sizeText, &afterSize, 10));
    CUiString styles(afterSize);
    styles.MakeLower();
    const bool bold = styles.Find(L"bold") >= 0;
    const bool underline = styles.Find(L"underline") >= 0;
    const bool italic = styles.Find(L"italic") >= 0;
    HFONT font = manager_->FindFont(face.GetData(), size, bold, underline, italic);
    if (font == nullptr)
        font = manager_->AddFont(face.GetData(), size, bold, underline, italic);
    PushFont(font != nullptr ? manager_->GetFontInfoOf(font) : Font());
}

// Draws an image frame; false when it does not fit on this line.
bool MarkupPainter::ImageTag(const wchar_t* args, const wchar_t* end)
{
    const CUiString tag(args, static_cast<int>(end - args));
    CUiString name;
    CUiString type;
    const wchar_t* rest = tag.GetData();
    if (tag.Find(L"file='") >= 0 || tag.Find(L"res='") >= 0) {
        CUiString key;
        CUiString value;
        while (ReadImageAttrPair(rest, key, value)) {
            if (key == L"file" || key == L"res")
                name = value;
            else if (key == L"restype")
                type = value;
        }
    } else {
        const wchar_t* nameEnd = rest;
        while (*nameEnd != L'\0' && *nameEnd != L' ')
            ++nameEnd;
        name.Assign(rest, static_cast<int>(nameEnd - rest));
        rest = nameEnd;
    }
    long numbers[2];
    const int given = ReadNumberList(SkipBlanks(rest), numbers, 2);
    const int count = given >= 1 ? std::max(1L, numbers[0]) : 1;
    int index = given >= 2 ? static_cast<int>(numbers[1]) : 0;
    if (index < 0 || index >= count)
        index = 0;
    const UiImageInfo* image = manager_->GetOrLoadImage(name.GetData(), type.IsEmpty() ? nullptr : type.GetData(), 0);
    if (image == nullptr)
        return true;
    const int frameWidth = image->width / count;
    if (pt_.x + frameWidth > rc_.right && pt_.x > rc_.left && !singleLine_)
        return false;
    const int height = image->height;
    GrowLine(height);
    RECT box = {pt_.x, pt_.y + lineHeight_ - height, pt_.x + frameWidth, pt_.y + lineHeight_};
    if (height < lineHeight_)
        OffsetRect(&box, 0, -(lineHeight_ - height) / 2);
    if (drawPass_) {
        const RECT source = {index * frameWidth, 0, (index + 1) * frameWidth, height};
        const RECT noCorner = {0, 0, 0, 0};
        CUiRender::DrawBitmap(hdc_, image->bitmap, box, rc_, source, noCorner, image->hasAlpha, 255, false, false,
                              false);
    }
    lowestImage_ = std::max<int>(lowestImage_, box.bottom);
    pt_.x += frameWidth;
    maxX_ = std::max<int>(maxX_, pt_.x);
    return true;
}

// Lays out (and in the drawing pass draws) one run of text from the pen
// position, cutting it at the right edge. Returns how many of its characters
// this line took; a cut run ends the line.
int MarkupPainter::LayOutRun(const wchar_t* run, int length)
{
    const int available = std::max<int>(0, rc_.right - pt_.x);
    int fit = 0;
    SIZE whole = {0, 0};
    GetTextExtentExPointW(hdc_, run, length, available, &fit, nullptr, &whole);
    if (fit >= length) {
        DrawChars(run, length, whole.cx);
        pt_.x += whole.cx;
        maxX_ = std::max<int>(maxX_, pt_.x);
        return length;
    }
    // A run that starts the line keeps the character that overflows, so that
    // every line takes at least one.
    int keep = pt_.x <= rc_.left ? fit + 1 : fit;
    if ((format_ & DT_WORDBREAK) != 0) {
        for (int i = keep - 1; i >= 0; --i) {
            if (!IsAsciiLetter(run[i])) {
                keep = i + 1;
                break;
            }
        }
    }
    lineEnd_ = true;
    if ((format_ & DT_END_ELLIPSIS) != 0 && keep > 0) {
        const int drawn = keep - (keep > 1 ? 2 : 1);
        const int width = TextSize(hdc_, run, drawn).cx;
        const int drawnAt = DrawChars(run, drawn, width);
        // Right after the run, at the line's top.
        if (drawPass_)
            TextOutW(hdc_, drawnAt + width, pt_.y, L"...", 3);
        pt_.x = rc_.right + width;
        maxX_ = std::max<int>(maxX_, rc_.right);
        // The characters given up for the dots are the next line's.
        return drawn;
    }
    const int width = TextSize(hdc_, run, keep).cx;
    DrawChars(run, keep, width);
    pt_.x += width;
    maxX_ = std::max<int>(maxX_, pt_.x);
    return keep;
}

// Returns the x at which the run is (or would be) drawn.
int MarkupPainter::DrawChars(const wchar_t* text, int length, int width)
{
    int x = pt_.x;
    if (!singleLine_) {
        const int room = rc_.right - rc_.left;
        if ((format_ & DT_CENTER) != 0)
            x += (room - width) / 2;
        else if ((format_ & DT_RIGHT) != 0)
            x += room - width;
    }
    if (!drawPass_ || length <= 0)
        return x;
    const int y = pt_.y + lineHeight_ - LineHeightOf(Font());
    TextOutW(hdc_, x, y, text, length);
    return x;
}

}  // namespace

void CUiRender::DrawMarkupText(HDC hdc, CUiManager* manager, RECT& rc, const wchar_t* text, DWORD color,
                               RECT* linkRects, CUiString* linkTexts, int& linkCount, UINT format)
{
    const int capacity = linkCount;
    linkCount = 0;
    if (hdc == nullptr || text == nullptr || manager == nullptr || IsRectEmpty(&rc))
        return;
    const bool calcRect = (format & DT_CALCRECT) != 0;
    if (!calcRect && (format & (DT_CENTER | DT_RIGHT | DT_VCENTER | DT_BOTTOM)) != 0) {
        RECT measured = {0, 0, 9999, 100};
        int noLinks = 0;
        DrawMarkupText(hdc, manager, measured, text, color, nullptr, nullptr, noLinks, format | DT_CALCRECT);
        const LONG w = measured.right - measured.left;
        const LONG h = measured.bottom - measured.top;
        if ((format & DT_SINGLELINE) != 0) {
            if ((format & DT_CENTER) != 0) {
                rc.left = rc.left + (rc.right - rc.left) / 2 - w / 2;
                rc.right = rc.left + w;
            }
            if ((format & DT_RIGHT) != 0)
                rc.left = rc.right - w;
        }
        if ((format & DT_VCENTER) != 0) {
            rc.top = rc.top + (rc.bottom - rc.top) / 2 - h / 2;
            rc.bottom = rc.top + h;
        }
        if ((format & DT_BOTTOM) != 0)
            rc.top = rc.bottom - h;
    }
    CUiClip clip;
    if (!calcRect)
        CUiClip::ClipToRect(hdc, rc, clip);
    const int oldMode = SetBkMode(hdc, TRANSPARENT);
    const COLORREF oldText = SetTextColor(hdc, ToColorRef(color));
    const COLORREF oldBack = SetBkColor(hdc, ToColorRef(manager->GetDefaultSelectedBkColor()));
    ScopedSelection font(hdc, manager->GetDefaultFontInfo()->font);
    MarkupPainter painter(hdc, manager, rc, color, linkRects, linkTexts, capacity, format);
    painter.Run(text);
    linkCount = painter.LinkCount();
    SetBkColor(hdc, oldBack);
    SetTextColor(hdc, oldText);
    SetBkMode(hdc, oldMode);
}

}  // namespace UiLib
