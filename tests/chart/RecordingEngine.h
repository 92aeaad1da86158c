#pragma once
// A chart engine that records every call the control makes, as one line of text each
// ("SetInt 3090 1"), and answers from values the test sets. Element and memory values
// are decoded by the property's type in the control's catalogue.

#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "chart/ChartEngineApi.h"
#include "chart/SciGraphCatalog.h"
#include "chart/SciGraphEngine.h"

class RecordingEngine : public scigraph::SciGraphEngine {
public:
    struct Call {
        HWND h;
        std::string text;
    };

    std::vector<Call> calls;
    // Handles that Create hands out, in turn (0: failure).
    std::vector<HWND> handles{handleFromInt<HWND>(0x100), handleFromInt<HWND>(0x200)};
    std::map<int, int> ints;
    std::map<int, double> doubles;
    std::map<int, std::string> strings;
    chart::HotSpotInfo hotSpot{};
    chart::GraphLocation location{};
    chart::GridNumberInfo gridNumber{};
    std::int32_t clickPoint[2] = {0, 0};
    int scrollMin[2] = {0, 0}, scrollMax[2] = {0, 0}, scrollPos[2] = {0, 0};
    double pixelX = 0, pixelY = 0;

    void clear() { calls.clear(); }
    bool has(const std::string &text) const {
        for (const Call &c : calls)
            if (c.text == text) return true;
        return false;
    }
    int count(const std::string &prefix) const {
        int n = 0;
        for (const Call &c : calls)
            if (c.text.rfind(prefix, 0) == 0) ++n;
        return n;
    }
    std::string all() const {
        std::string s;
        for (const Call &c : calls) s += c.text + "\n";
        return s;
    }
    std::vector<std::string> texts() const {
        std::vector<std::string> v;
        for (const Call &c : calls) v.push_back(c.text);
        return v;
    }

    HWND Create(int kind, int, const RECT *r, HWND parent, int childId) override {
        HWND h = nullptr;
        if (next_ < handles.size()) h = handles[next_++];
        log(nullptr, "Create", kind, r->left, r->top, r->right, r->bottom, parent ? "parent" : "noparent", childId);
        return h;
    }
    void Destroy(HWND h) override { log(h, "Destroy"); }

    void SetInt(HWND h, int id, int value) override {
        ints[id] = value;
        log(h, "SetInt", id, value);
    }
    int GetInt(HWND h, int id) override {
        log(h, "GetInt", id);
        return ints.count(id) ? ints[id] : 0;
    }
    void SetMem(HWND h, int id, const void *p, int count) override {
        if (id == chart::kIdGridNumber) {
            std::memcpy(&gridNumber, p, sizeof gridNumber);
            log(h, "SetMem", id, count);
        } else if (kind(id) == scigraph::Kind::Single) {
            log(h, "SetMem", id, count, *static_cast<const float *>(p));
        } else {
            log(h, "SetMem", id, count, *static_cast<const double *>(p));
        }
    }
    void GetMem(HWND h, int id, void *out) override {
        log(h, "GetMem", id);
        switch (id) {
            case chart::kIdHotSpot: std::memcpy(out, &hotSpot, sizeof hotSpot); return;
            case chart::kIdGraphLocation: std::memcpy(out, &location, sizeof location); return;
            case chart::kIdGridNumber: std::memcpy(out, &gridNumber, sizeof gridNumber); return;
            case chart::kIdClickPoint: std::memcpy(out, clickPoint, sizeof clickPoint); return;
            default: break;
        }
        if (kind(id) == scigraph::Kind::Single)
            *static_cast<float *>(out) = float(doubles[id]);
        else
            *static_cast<double *>(out) = doubles[id];
    }
    void SetString(HWND h, int id, const char *text) override {
        strings[id] = text;
        log(h, "SetString", id, quoted(text));
    }
    void GetString(HWND h, int id, char *buffer) override {
        log(h, "GetString", id);
        std::strncpy(buffer, strings[id].c_str(), 255);
        buffer[255] = '\0';
    }
    void SetElem(HWND h, int id, int index, const void *p) override { log(h, "SetElem", id, index, element(id, p)); }
    void GetElem(HWND h, int id, int index, void *out) override {
        log(h, "GetElem", id, index);
        fill(id, out);
    }
    void SetElem2(HWND h, int id, int s, int pt, const void *p) override {
        log(h, "SetElem2", id, s, pt, element(id, p));
    }
    void GetElem2(HWND h, int id, int s, int pt, void *out) override {
        log(h, "GetElem2", id, s, pt);
        fill(id, out);
    }

    void Reinitialize(HWND h) override { log(h, "Reinitialize"); }
    void ResetImage(HWND h, int a, int b) override { log(h, "ResetImage", a, b); }
    void ReinitCustoms(HWND h) override { log(h, "ReinitCustoms"); }
    void Reset(HWND h) override { log(h, "Reset"); }

    HENHMETAFILE metafile = handleFromInt<HENHMETAFILE>(0x300);
    HENHMETAFILE GetMetafile(HWND h) override {
        log(h, "GetMetafile");
        return metafile;
    }
    void PrepareMemDC(HWND h, HDC, HDC, const RECT *r) override { log(h, "PrepareMemDC", r->right, r->bottom); }
    void RebuildCachedBitmap(HWND h) override { log(h, "RebuildCachedBitmap"); }
    void PaintDone(HWND h, HDC, int) override { log(h, "PaintDone"); }

    void CustomizeDialog(HWND h) override { log(h, "CustomizeDialog"); }
    void ExportDialog(HWND h) override { log(h, "ExportDialog"); }
    void MaximizeDialog(HWND h) override { log(h, "MaximizeDialog"); }
    void TextExportDialog(HWND h, int n, const char *t) override { log(h, "TextExportDialog", n, quoted(t)); }
    void PrintDialog(HWND h, int flag, const scigraph::Pair *p) override { log(h, "PrintDialog", flag, p->n1, p->n2); }
    void ColorDialog(HWND h) override { log(h, "ColorDialog"); }
    void FontDialog(HWND h) override { log(h, "FontDialog"); }
    void PopupMenu(HWND h, const scigraph::Pair *p) override { log(h, "PopupMenu", p->n1, p->n2); }
    void MetaToClip(HWND h, const scigraph::Pair *p) override { log(h, "MetaToClip", p->n1, p->n2); }
    void MetaToFile(HWND h, const scigraph::Pair *p, const char *f) override {
        log(h, "MetaToFile", p->n1, p->n2, quoted(f));
    }
    void BmpToClip(HWND h, const scigraph::Pair *p) override { log(h, "BmpToClip", p->n1, p->n2); }
    void BmpToFile(HWND h, const scigraph::Pair *p, const char *f) override {
        log(h, "BmpToFile", p->n1, p->n2, quoted(f));
    }
    void OleToClip(HWND h, const scigraph::Pair *p) override { log(h, "OleToClip", p->n1, p->n2); }
    void PrintGraph(HWND h, int a, int b, int c, int o) override { log(h, "PrintGraph", a, b, c, o); }
    void JpegToClip(HWND h, const scigraph::Pair *p) override { log(h, "JpegToClip", p->n1, p->n2); }
    void JpegToFile(HWND h, const scigraph::Pair *p, const char *f) override {
        log(h, "JpegToFile", p->n1, p->n2, quoted(f));
    }
    void PngToFile(HWND h, const scigraph::Pair *p, const char *f) override {
        log(h, "PngToFile", p->n1, p->n2, quoted(f));
    }
    void PngToClip(HWND h, const scigraph::Pair *p) override { log(h, "PngToClip", p->n1, p->n2); }

    void PixelToGraph(HWND h, int *axis, int *x, int *y, double *ox, double *oy, int right, int top, int) override {
        log(h, "PixelToGraph", *axis, *x, *y, right, top);
        *ox = pixelX;
        *oy = pixelY;
    }

    LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM w, LPARAM l) override {
        log(hwnd, "Send", msg, w, l);
        return 0;
    }
    void ShowWindow(HWND hwnd, int cmd) override { log(hwnd, "ShowWindow", cmd); }
    void MoveWindow(HWND hwnd, int x, int y, int w, int h, BOOL repaint) override {
        log(hwnd, "MoveWindow", x, y, w, h, repaint);
    }
    void GetScrollRange(HWND hwnd, int bar, int *lo, int *hi) override {
        log(hwnd, "GetScrollRange", bar);
        *lo = scrollMin[bar];
        *hi = scrollMax[bar];
    }
    int GetScrollPos(HWND hwnd, int bar) override {
        log(hwnd, "GetScrollPos", bar);
        return scrollPos[bar];
    }
    void PlayMetaFile(HDC, HENHMETAFILE) override { log(nullptr, "PlayMetaFile"); }

private:
    static scigraph::Kind kind(int id) {
        for (std::size_t i = 0; i < scigraph::kPropertyCount; ++i)
            if (scigraph::kProperties[i].id == id) return scigraph::kProperties[i].kind;
        return scigraph::Kind::Double;
    }
    static std::string quoted(const char *t) { return std::string("\"") + t + "\""; }
    static std::string element(int id, const void *p) {
        std::ostringstream s;
        switch (kind(id)) {
            case scigraph::Kind::Double: s << *static_cast<const double *>(p); break;
            case scigraph::Kind::Single: s << *static_cast<const float *>(p); break;
            case scigraph::Kind::String: s << quoted(static_cast<const char *>(p)); break;
            default: s << *static_cast<const std::int32_t *>(p); break;
        }
        return s.str();
    }
    void fill(int id, void *out) {
        switch (kind(id)) {
            case scigraph::Kind::Double: *static_cast<double *>(out) = doubles[id]; break;
            case scigraph::Kind::Single: *static_cast<float *>(out) = float(doubles[id]); break;
            case scigraph::Kind::String: std::strcpy(static_cast<char *>(out), strings[id].c_str()); break;
            default: *static_cast<std::int32_t *>(out) = ints[id]; break;
        }
    }
    template <class... A> void log(HWND h, const char *name, const A &...args) {
        std::ostringstream s;
        s << name;
        ((s << ' ' << args), ...);
        calls.push_back({h, s.str()});
    }

    std::size_t next_ = 0;
};
