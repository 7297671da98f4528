#include "display/AccessibleWaterfall.h"

#include "display/MMSpGram.h"
#include "display/WaterfallTones.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <chrono>
#include <optional>

namespace keb
{

namespace
{

constexpr int TonesDescribed = 3;
constexpr std::chrono::seconds DescriptionLife{1};

class TAccessibleWaterfall : public QAccessibleWidget
{
  public:
    explicit TAccessibleWaterfall(TMMSpectrogram* waterfall)
        : QAccessibleWidget(waterfall, QAccessible::Graphic), waterfall_(waterfall)
    {
    }

    QString text(QAccessible::Text type) const override
    {
        if (type != QAccessible::Description)
            return QAccessibleWidget::text(type);
        const auto now = std::chrono::steady_clock::now();
        if (!describedAt_ || now - *describedAt_ >= DescriptionLife)
        {
            description_ =
                QString::fromStdString(DescribeTones(StrongestTones(*waterfall_, TonesDescribed)));
            describedAt_ = now;
        }
        return description_;
    }

  private:
    TMMSpectrogram* waterfall_;
    mutable QString description_;
    mutable std::optional<std::chrono::steady_clock::time_point> describedAt_;
};

QAccessibleInterface* WaterfallInterface(const QString&, QObject* object)
{
    if (auto* waterfall = dynamic_cast<TMMSpectrogram*>(object))
        return new TAccessibleWaterfall(waterfall);
    return nullptr;
}

} // namespace

void InstallAccessibleWaterfalls()
{
    QAccessible::installFactory(WaterfallInterface);
}

} // namespace keb
