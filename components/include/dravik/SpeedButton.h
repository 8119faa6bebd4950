#pragma once

#include "dravik/DravikExport.h"

#include <QAbstractButton>
#include <QImage>

namespace dravik {

// A raised push button that never takes the focus and shows a glyph
// bitmap centred on its face. The colour of the glyph's bottom-left pixel
// is transparent; a disabled button shows the glyph engraved in the shadow
// colour.
class DRAVIK_EXPORT TSpeedButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit TSpeedButton(QWidget *parent = nullptr);

    const QImage &GetGlyph() const { return FGlyph; }
    void SetGlyph(const QImage &glyph);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage FGlyph;
};

} // namespace dravik
