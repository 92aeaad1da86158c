#include "chart/engine/Engine.h"

#include "chart/engine/EngineIds.h"
#include "chart/engine/Gdi.h"
#include "chart/engine/Renderer.h"

#include <QPainter>

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace chart::engine {

namespace {

std::unordered_map<std::intptr_t, std::unique_ptr<Engine>> &engines() {
    static std::unordered_map<std::intptr_t, std::unique_ptr<Engine>> m;
    return m;
}

// Objects destroyed while busy, deleted when their last call ends.
std::vector<std::unique_ptr<Engine>> &doomed() {
    static std::vector<std::unique_ptr<Engine>> v;
    return v;
}

void copyString(char *buffer256, const std::string &s) {
    std::size_t n = std::min<std::size_t>(s.size(), 255);
    std::memcpy(buffer256, s.data(), n);
    buffer256[n] = 0;
}

// An element's number into the caller's buffer in the element's own type.
void writeNumber(ElemType type, double v, void *out) {
    switch (type) {
        case ElemType::Double: std::memcpy(out, &v, 8); break;
        case ElemType::Single: {
            float f = static_cast<float>(v);
            std::memcpy(out, &f, 4);
            break;
        }
        default: {
            std::int32_t i = static_cast<std::int32_t>(v);
            std::memcpy(out, &i, 4);
            break;
        }
    }
}

std::string boundedString(const char *text) {
    if (!text) return {};
    return std::string(text, strnlen(text, 255));
}

} // namespace

// ---- lifetime --------------------------------------------------------------------

Engine::Engine(const RECT &rect, HWND parent) {
    hwnd_ = CreateWindowHandle(
        [this](HWND, UINT m, WPARAM w, LPARAM l) {
            Busy busy(*this);
            return windowProc(m, w, l);
        },
        parent, rect);
    props_.setNumber(id::ParentWindow, handleToInt(parent));
}

Engine::~Engine() {
    DestroyWindow(hwnd_);
    if (metafileHandle_) DeleteEnhMetaFile(metafileHandle_);
    if (cacheDC_) DeleteDC(cacheDC_);
    if (cacheBitmap_) DeleteObject(cacheBitmap_);
}

HWND Engine::create(std::intptr_t kind, const RECT *rect, HWND parent, int) {
    Engine *from = nullptr;
    if (kind != 304) {
        from = find(handleFromInt<HWND>(kind));
        if (!from) return nullptr;
    }
    RECT r = rect ? *rect : RECT{0, 0, 300, 300};
    std::unique_ptr<Engine> e(new Engine(r, parent));
    if (from) {
        e->props_ = from->props_;
        e->props_.setNumber(id::ParentWindow, handleToInt(parent));
    }
    HWND h = e->hwnd_;
    engines().emplace(reinterpret_cast<std::intptr_t>(h), std::move(e));
    // The caller goes on with the new object only; the old one would be left behind.
    if (from) destroy(handleFromInt<HWND>(kind));
    return h;
}

Engine *Engine::find(HWND h) {
    auto it = engines().find(reinterpret_cast<std::intptr_t>(h));
    return it == engines().end() ? nullptr : it->second.get();
}

void Engine::destroy(HWND h) {
    auto it = engines().find(reinterpret_cast<std::intptr_t>(h));
    if (it == engines().end()) return;
    std::unique_ptr<Engine> e = std::move(it->second);
    engines().erase(it);
    if (e->busy_ > 0) {
        e->doomed_ = true;
        DestroyWindow(e->hwnd_);
        doomed().push_back(std::move(e));
    }
}

Engine::Busy::~Busy() {
    if (--e_.busy_ == 0 && e_.doomed_) {
        auto &v = doomed();
        v.erase(std::remove_if(v.begin(), v.end(), [this](auto &p) { return p.get() == &e_; }), v.end());
    }
}

int Engine::width() const {
    RECT r;
    GetClientRect(hwnd_, &r);
    return std::clamp<int>(r.right, 1, 16384); // a bitmap of the window must stay allocatable
}

int Engine::height() const {
    RECT r;
    GetClientRect(hwnd_, &r);
    return std::clamp<int>(r.bottom, 1, 16384);
}

void Engine::notify(WORD code) const {
    HWND parent = handleFromInt<HWND>(props_.integer(id::ParentWindow));
    SendMessageA(parent, WM_COMMAND, MAKEWPARAM(0, code), reinterpret_cast<LPARAM>(hwnd_));
}

void Engine::invalidateParent(const RECT *r) const {
    HWND parent = handleFromInt<HWND>(props_.integer(id::ParentWindow));
    SendMessageA(parent, 3962, 0, reinterpret_cast<LPARAM>(r));
}

// ---- properties ------------------------------------------------------------------

int Engine::setInt(int id, std::int32_t v) {
    if (!props_.setNumber(id, v)) return 0;
    customBackup_.erase(id);
    if (id == id::ParentWindow) SetParent(hwnd_, handleFromInt<HWND>(v));
    return 1;
}

std::int32_t Engine::getInt(int id) const {
    switch (id) {
        case id::CachedBitmap: return handleToInt(cacheBitmap_);
        case id::MemoryDC: return handleToInt(cacheDC_);
        default: return props_.integer(id);
    }
}

int Engine::setMem(int id, const void *p, int count) {
    if (!p) return 0;
    if (id == id::ShiftX && count == 100) {
        props_.shiftData(props_.integer(id::UsingXDataII) ? id::XDataII : id::XData, static_cast<const double *>(p));
        return 1;
    }
    if (id == id::ShiftY && count == 100) {
        props_.shiftData(props_.integer(id::UsingYDataII) ? id::YDataII : id::YData, static_cast<const float *>(p));
        return 1;
    }
    if (id == id::GridNumber && count == 1) {
        std::memcpy(gridNumber_, p, sizeof gridNumber_);
        gridNumber_[63] = 0;
        return 1;
    }
    if (count != 0) return 0;
    PropInfo info = propInfo(id);
    if (info.shape != Shape::Scalar) return 0;
    double v = 0;
    switch (info.type) {
        case ElemType::Double: std::memcpy(&v, p, 8); break;
        // Ids outside the table are taken as single, the narrowest value a caller can have
        // meant.
        case ElemType::Single:
        case ElemType::Int: {
            float f;
            std::memcpy(&f, p, 4);
            v = f;
            break;
        }
        case ElemType::String: return 0;
    }
    if (!props_.setNumber(id, v)) return 0;
    customBackup_.erase(id);
    return 1;
}

int Engine::getMem(int id, void *out) const {
    if (!out) return 0;
    switch (id) {
        case id::HotSpot: std::memcpy(out, hotSpot_, sizeof hotSpot_); return 1;
        case id::GraphLocation: std::memcpy(out, location_, sizeof location_); return 1;
        case id::GridNumber: std::memcpy(out, gridNumber_, sizeof gridNumber_); return 1;
        case id::ClickPoint: std::memcpy(out, clickPoint_, sizeof clickPoint_); return 1;
        default: break;
    }
    PropInfo info = propInfo(id);
    if (info.shape != Shape::Scalar || info.type == ElemType::String) return 0;
    if (info.type == ElemType::Double) {
        double v = props_.number(id);
        std::memcpy(out, &v, 8);
    } else {
        float v = static_cast<float>(props_.number(id));
        std::memcpy(out, &v, 4);
    }
    return 1;
}

int Engine::setString(int id, const char *text) {
    customBackupStrings_.erase(id);
    props_.setString(id, boundedString(text));
    return 1;
}

int Engine::getString(int id, char *buffer256) const {
    if (!buffer256) return 0;
    copyString(buffer256, props_.string(id));
    return 1;
}

int Engine::setElem(int id, int index, const void *p) {
    if (!p) return 0;
    PropInfo info = propInfo(id);
    if (info.shape == Shape::Data || info.shape == Shape::Array2) return 0;
    customBackupElems_.erase({id, index});
    switch (info.type) {
        case ElemType::Double: {
            double v;
            std::memcpy(&v, p, 8);
            return props_.setElem(id, index, v);
        }
        case ElemType::Single: {
            float v;
            std::memcpy(&v, p, 4);
            return props_.setElem(id, index, v);
        }
        case ElemType::Int: {
            std::int32_t v;
            std::memcpy(&v, p, 4);
            return props_.setElem(id, index, v);
        }
        case ElemType::String: return props_.setElemString(id, index, boundedString(static_cast<const char *>(p)));
    }
    return 0;
}

int Engine::getElem(int id, int index, void *out) const {
    if (!out) return 0;
    PropInfo info = propInfo(id);
    if (info.shape == Shape::Data || info.shape == Shape::Array2) return 0;
    if (info.type == ElemType::String) {
        std::string s;
        props_.elemString(id, index, s);
        copyString(static_cast<char *>(out), s);
        return 1;
    }
    double v = 0;
    props_.elem(id, index, v);
    writeNumber(info.type, v, out);
    return 1;
}

int Engine::setElem2(int id, int s, int p, const void *v) {
    if (!v) return 0;
    PropInfo info = propInfo(id);
    if (info.shape == Shape::Scalar && info.type != ElemType::Int) return 0;
    if (info.shape == Shape::Array1) return 0;
    switch (info.type) {
        case ElemType::Double: {
            double d;
            std::memcpy(&d, v, 8);
            return props_.setElem2(id, s, p, d);
        }
        case ElemType::Single: {
            float f;
            std::memcpy(&f, v, 4);
            return props_.setElem2(id, s, p, f);
        }
        case ElemType::Int: {
            std::int32_t i;
            std::memcpy(&i, v, 4);
            return props_.setElem2(id, s, p, i);
        }
        case ElemType::String: return props_.setElem2String(id, s, p, boundedString(static_cast<const char *>(v)));
    }
    return 0;
}

int Engine::getElem2(int id, int s, int p, void *out) const {
    if (!out) return 0;
    PropInfo info = propInfo(id);
    if (info.shape == Shape::Array1 || (info.shape == Shape::Scalar && info.type != ElemType::Int)) return 0;
    if (info.type == ElemType::String) {
        std::string str;
        if (!props_.elem2String(id, s, p, str)) return 0;
        copyString(static_cast<char *>(out), str);
        return 1;
    }
    double v = 0;
    bool inside = props_.elem2(id, s, p, v);
    if (!inside && info.shape == Shape::Data) return 0; // outside the data: the caller's value stays as it was
    writeNumber(info.type, v, out);
    return 1;
}

// ---- picture ----------------------------------------------------------------------

void Engine::customSet(int id, double v) {
    if (!customBackup_.count(id)) customBackup_[id] = {true, props_.number(id)};
    props_.setNumber(id, v);
}

void Engine::customSetString(int id, const std::string &v) {
    if (!customBackupStrings_.count(id)) customBackupStrings_[id] = {true, props_.string(id)};
    props_.setString(id, v);
}

void Engine::applyCustomElem(int id, int index, double v) {
    auto key = std::make_pair(id, index);
    if (!customBackupElems_.count(key)) {
        double old = 0;
        bool had = props_.elem(id, index, old);
        customBackupElems_[key] = {had, old};
    }
    props_.setElem(id, index, v);
}

void Engine::refresh() {
    rebuild();
    invalidateParent();
}

int Engine::reinitialize() {
    // The layout of a picture already drawn stays until #24 draws the new one: clicks
    // hit what is on the screen.
    if (!drawn_) layout_ = computeLayout(props_, width(), height());
    updateScrollBars();
    return 1;
}

void Engine::rebuild() {
    int w = width(), h = height();
    // Grid numbers the program writes itself: each goes out in the record of id 3162
    // with notification 3979 and comes back with the text the parent put there. The
    // answers are kept for the metafile, which must not ask again.
    auto answers = std::make_shared<std::vector<QString>>();
    GridNumberHook hook = [this, answers](int type, int axis, double value, const QString &text) {
        chart::GridNumberInfo info;
        info.axisType = type;
        info.axisIndex = axis;
        info.number = value;
        QByteArray t = text.toLatin1().left(47);
        std::memcpy(info.text, t.constData(), static_cast<std::size_t>(t.size()));
        std::memcpy(gridNumber_, &info, sizeof info);
        notify(3979);
        gridNumber_[63] = 0;
        answers->push_back(QString::fromLatin1(reinterpret_cast<const char *>(gridNumber_) + 16));
        return answers->back();
    };
    auto frame = std::make_shared<const Frame>(buildFrame(props_, w, h));
    // The last picture's image is drawn over when nothing holds it any more (its
    // metafile gone, no bitmap sharing its pixels): a new one costs more than the
    // drawing at a few thousand points.
    if (metafileHandle_) DeleteEnhMetaFile(metafileHandle_);
    metafileHandle_ = nullptr;
    // Held by drawn_ and here, and by nobody else: a fresh image costs fresh pages.
    std::shared_ptr<QImage> image = drawn_;
    if (!image || image.use_count() != 2 || image->size() != QSize(w, h) || image->isDetached() == false)
        image = std::make_shared<QImage>(w, h, QImage::Format_ARGB32_Premultiplied);
    // Not filled first: the desk and the graph area cover it, opaque.
    {
        QPainter g(image.get());
        drawFrame(props_, *frame, g, layout_, hook);
    }
    if (!drawnProps_ || drawnProps_->revision() != props_.revision())
        drawnProps_ = std::make_shared<const PropertyStore>(props_.withoutData());
    auto record = [frame, props = drawnProps_, answers, w, h] {
        auto pic = std::make_shared<QPicture>();
        {
            QPainter g(pic.get());
            Layout L;
            std::size_t next = 0;
            drawFrame(*props, *frame, g, L, [&](int, int, double, const QString &text) {
                return next < answers->size() ? (*answers)[next++] : text;
            });
        }
        pic->setBoundingRect(QRect(0, 0, w, h));
        return std::shared_ptr<const QPicture>(pic);
    };
    drawn_ = image;
    metafileHandle_ = CreateMetafileHandle(std::shared_ptr<const QImage>(drawn_), record, w, h);
    props_.setNumber(id::ImageDirty, 1);
}

int Engine::resetImage(int, int) {
    rebuild();
    return 1;
}

int Engine::reinitCustoms() {
    for (auto &[id, v] : customBackup_) props_.setNumber(id, v.second);
    for (auto &[id, v] : customBackupStrings_) props_.setString(id, v.second);
    for (auto &[key, v] : customBackupElems_) props_.setElem(key.first, key.second, v.second);
    customBackup_.clear();
    customBackupStrings_.clear();
    customBackupElems_.clear();
    return 1;
}

int Engine::reset() {
    HWND parent = handleFromInt<HWND>(props_.integer(id::ParentWindow));
    props_.resetToDefaults();
    props_.setNumber(id::ParentWindow, handleToInt(parent));
    customBackup_.clear();
    customBackupStrings_.clear();
    customBackupElems_.clear();
    dragging_ = false;
    cursorShown_ = false;
    return 1;
}

QImage Engine::renderImage(int w, int h) const {
    if (w <= 0 || h <= 0) {
        w = width();
        h = height();
    }
    QImage img(std::clamp(w, 1, 16384), std::clamp(h, 1, 16384), QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::white);
    QPainter g(&img);
    Layout L;
    renderChart(props_, g, img.width(), img.height(), L);
    return img;
}

int Engine::prepareImages(HDC, HDC memDC, const RECT *client) {
    QColor desk = fromColorRef(props_.integer(props_.integer(id::ViewingStyle) ? id::MonoDeskColor : id::DeskColor));
    QRect r = client ? QRect(client->left, client->top, client->right - client->left, client->bottom - client->top)
                     : QRect(0, 0, width(), height());
    return FillDC(memDC, r, desk) ? 1 : 0;
}

int Engine::buildCachedBitmap() {
    int w = width(), h = height();
    if (!drawn_) rebuild();
    if (!cache_ || cache_->width() != w || cache_->height() != h) {
        if (cacheDC_) DeleteDC(cacheDC_);
        if (cacheBitmap_) DeleteObject(cacheBitmap_);
        cache_ = std::make_shared<QImage>(w, h, QImage::Format_ARGB32_Premultiplied);
        cacheBitmap_ = CreateBitmapHandle(cache_);
        cacheDC_ = CreateCompatibleDC(nullptr);
        SelectObject(cacheDC_, cacheBitmap_);
    }
    if (drawn_->size() == cache_->size()) {
        *cache_ = *drawn_;
    } else {
        cache_->fill(Qt::white);
        QPainter g(cache_.get());
        g.drawImage(0, 0, *drawn_);
    }
    return 1;
}

int Engine::endPaint(HDC paintDC) {
    if (layout_.valid) PaintOnDC(paintDC, [&](QPainter &g) { drawOverlay(g); });
    return 1;
}

int Engine::saveState(HGLOBAL *block, std::uint32_t *size) const {
    if (!block) return 0;
    // Measured, then written once into a block of its size.
    std::size_t n = props_.stateSize();
    if (n > 0xFFFFFFFFu) return 0;
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, n);
    if (!h) return 0;
    props_.writeState(static_cast<unsigned char *>(GlobalLock(h)));
    GlobalUnlock(h);
    *block = h;
    if (size) *size = static_cast<std::uint32_t>(n);
    return 1;
}

int Engine::loadState(HGLOBAL *block) {
    if (!block) return 0;
    auto *p = static_cast<const unsigned char *>(GlobalLock(*block));
    if (!p) return 0;
    HWND parent = handleFromInt<HWND>(props_.integer(id::ParentWindow));
    bool ok = props_.fromBytes(p, GlobalSize(*block));
    GlobalUnlock(*block);
    if (!ok) return 0;
    // The window belongs to this object, not to the one that saved the state.
    props_.setNumber(id::ParentWindow, handleToInt(parent));
    // The loaded state is the program's: #34 must not bring back what it replaced.
    customBackup_.clear();
    customBackupStrings_.clear();
    customBackupElems_.clear();
    return 1;
}

} // namespace chart::engine
