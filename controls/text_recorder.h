// A paint device that records the texts painted on it, with where each one starts and ends: the
// checks of the windows (and the tests) paint through the program's own painter and look at what a
// user would read.
#pragma once

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainterPath>
#include <QTransform>
#include <QString>

#include <vector>

namespace wux::controls {

struct PaintedText
{
    QString text;
    double left = 0;  // the text's left edge, in the painter's coordinates
    double right = 0; // its right edge (left + its advance)
    double baseline = 0; // the height of its baseline
};

class TextRecorder : public QPaintDevice
{
public:
    explicit TextRecorder(QSize size = QSize(2000, 2000)) : size_(size), engine_(*this) {}
    ~TextRecorder() override = default;

    QPaintEngine* paintEngine() const override { return &engine_; }
    const std::vector<PaintedText>& texts() const { return texts_; }
    void clear() { texts_.clear(); }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth:
            return size_.width();
        case PdmHeight:
            return size_.height();
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 96;
        case PdmDepth:
            return 32;
        case PdmNumColors:
            return 1 << 24;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(QPaintDevice::devicePixelRatioFScale());
        default:
            return QPaintDevice::metric(metric);
        }
    }

private:
    class Engine : public QPaintEngine
    {
    public:
        explicit Engine(TextRecorder& owner) : QPaintEngine(QPaintEngine::AllFeatures), owner_(owner) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState& state) override
        {
            if (state.state() & QPaintEngine::DirtyTransform)
                transform_ = state.transform();
        }
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
        void drawPath(const QPainterPath&) override {}
        void drawImage(const QRectF&, const QImage&, const QRectF&, Qt::ImageConversionFlags) override {}
        void drawTextItem(const QPointF& p, const QTextItem& item) override
        {
            const QPointF start = transform_.map(p);
            owner_.texts_.push_back({item.text(), start.x(), start.x() + item.width(), start.y()});
        }
        Type type() const override { return QPaintEngine::User; }

    private:
        TextRecorder& owner_;
        QTransform transform_;
    };

    QSize size_;
    mutable Engine engine_;
    std::vector<PaintedText> texts_;
};

} // namespace wux::controls
