#pragma once
// One chart engine object: its hidden window, its properties, the picture built from
// them and the interaction state (zoom, cursor, hot spot). The call layer
// chart/ChartEngineApi forwards to it by handle.

#include "chart/engine/Layout.h"
#include "chart/engine/PropertyStore.h"
#include "platform/win/Window.h"

#include <QImage>
#include <QPicture>

#include <cstdint>
#include <functional>
#include <memory>

class QDialog;
class QMenu;
class QPainter;
class QWidget;

namespace chart::engine {

class Engine {
public:
    enum class ExportFormat { Metafile, Bmp, Jpeg, Png };

    // 0 when kind is neither 304 nor a live engine.
    static HWND create(std::intptr_t kind, const RECT *rect, HWND parent, int childId);
    static Engine *find(HWND h);
    static void destroy(HWND h);
    static void setDialogScript(std::function<void(QWidget &)> script);
    // Runs a dialog modally, or through the installed script; returns its result
    // (QDialog::Accepted or Rejected). On a headless platform without a script it is
    // rejected at once rather than blocking.
    static int runDialog(QDialog &dialog);
    // The same for a popup menu: the script triggers an entry on the shown menu.
    static void runMenu(QMenu &menu);

    // Held while a call or a message runs on the object: a destroy from inside (a
    // parent that closes the chart in answer to a notification) waits until it ends.
    class Busy {
    public:
        explicit Busy(Engine &e) : e_(e) { ++e_.busy_; }
        ~Busy();
        Busy(const Busy &) = delete;
        Busy &operator=(const Busy &) = delete;

    private:
        Engine &e_;
    };

    ~Engine();
    HWND hwnd() const { return hwnd_; }
    PropertyStore &props() { return props_; }
    const PropertyStore &props() const { return props_; }

    int setInt(int id, std::int32_t v);
    std::int32_t getInt(int id) const;
    int setMem(int id, const void *p, int count);
    int getMem(int id, void *out) const;
    int setString(int id, const char *text);
    int getString(int id, char *buffer256) const;
    int setElem(int id, int index, const void *p);
    int getElem(int id, int index, void *out) const;
    int setElem2(int id, int s, int p, const void *v);
    int getElem2(int id, int s, int p, void *out) const;

    int reinitialize();
    int resetImage(int width, int height);
    int reinitCustoms();
    int reset();

    HENHMETAFILE metafile() const { return metafileHandle_; }
    const Layout &layout() const { return layout_; }
    int prepareImages(HDC paintDC, HDC memDC, const RECT *client);
    int buildCachedBitmap();
    int endPaint(HDC paintDC);

    int customizeDialog();
    int exportDialog();
    int maximizeDialog();
    int colorDialog();
    int fontDialog();
    int textExportDialog(int mode, const char *text);
    int printDialog(int flag, const std::int32_t *pair);
    int popupMenu(const std::int32_t *pair);
    int printGraph(int orientation);
    int exportToClipboard(ExportFormat f, const std::int32_t *pair);
    int exportToFile(ExportFormat f, const std::int32_t *pair, const char *file);

    int pixelToGraph(int *axis, int *px, int *py, double *x, double *y, int right, int top) const;

    int saveState(HGLOBAL *block, std::uint32_t *size) const;
    int loadState(HGLOBAL *block);

    LRESULT windowProc(UINT msg, WPARAM wParam, LPARAM lParam);

    // Changes made by the user (dialogs, popup menu): kept apart so that #34 can undo
    // them; a program write of the same property makes it the program's again.
    void applyCustom(int id, double v) { customSet(id, v); }
    void applyCustomString(int id, const std::string &v) { customSetString(id, v); }
    void applyCustomElem(int id, int index, double v);
    // Rebuilds the picture and asks the parent to repaint.
    void refresh();
    void notifyParent(WORD code) const { notify(code); }

    // The picture at a size (0, 0: the window's), as an image.
    QImage renderImage(int width, int height) const;
    // Tab-separated data text of the export.
    QString dataText() const;

private:
    explicit Engine(const RECT &rect, HWND parent);
    void notify(WORD code) const;
    void invalidateParent(const RECT *r = nullptr) const;
    void rebuild();
    int width() const;
    int height() const;
    void customSet(int id, double v);
    void customSetString(int id, const std::string &v);

    // Input.
    void mouseMove(int x, int y, WPARAM keys);
    void leftDown(int x, int y, WPARAM keys, bool dbl);
    void leftUp(int x, int y);
    void keyDown(WPARAM key);
    void wheel(int delta);
    void scroll(bool vertical, int code, int pos);
    void applyZoom(const QRect &r);
    void undoZoom();
    void updateScrollBars();
    void computeHotSpot(int x, int y);
    void drawOverlay(QPainter &g) const;
    QString cursorPrompt() const;
    int hotSpotRadius() const;
    bool zoomAllowed(bool vertical) const;
    void runPopup(const QPoint &at);
    bool writeExport(ExportFormat f, const std::int32_t *pair, const QString &path);
    bool printOn(QPainter &g, const QRect &page);

    HWND hwnd_ = nullptr;
    int busy_ = 0;
    bool doomed_ = false;
    PropertyStore props_;
    // The last picture as drawn into an image; its metafile records the same picture
    // when asked, from what it was drawn from.
    std::shared_ptr<QImage> drawn_;
    HENHMETAFILE metafileHandle_ = nullptr;
    // The properties without the data as of the last picture, kept while unchanged.
    std::shared_ptr<const PropertyStore> drawnProps_;
    Layout layout_;
    std::shared_ptr<QImage> cache_;
    HBITMAP cacheBitmap_ = nullptr;
    HDC cacheDC_ = nullptr;

    // Interaction.
    bool dragging_ = false;
    QPoint dragFrom_, dragTo_;
    double fullX0_ = 0, fullX1_ = 0; // x range before zooming (for scrolling)
    double fullY0_ = 0, fullY1_ = 0; // range of the vertically zoomed axis
    bool cursorShown_ = false;
    QPoint cursorAt_;
    std::map<int, std::pair<bool, double>> customBackup_;
    std::map<int, std::pair<bool, std::string>> customBackupStrings_;
    std::map<std::pair<int, int>, std::pair<bool, double>> customBackupElems_;
    unsigned char hotSpot_[28] = {};
    unsigned char location_[24] = {};
    unsigned char gridNumber_[64] = {};
    std::int32_t clickPoint_[2] = {};
};

} // namespace chart::engine
