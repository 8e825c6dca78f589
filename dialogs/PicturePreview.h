#pragma once

#include <QWidget>

#include "imagefile/DisplayPicture.h"

class ImageFilter;

// A picture shown centred in a frame, shrunk to fit and never enlarged. The parameter dialogs
// give it the document's picture and let it show a filter's result as a value changes.
class CPicturePreview : public QWidget {
public:
    explicit CPicturePreview(QWidget* parent = nullptr);

    CDisplayPicture& Picture() { return m_picture; }
    bool HasPicture() const { return m_hasPicture; }
    void SetHasPicture(bool has);

    // Takes the picture a filter will be shown on, reduced to what the preview area can show
    // (null: nothing to show). A point operation or a rotation of the reduced copy looks the
    // same at this size as the full-size result shrunk, and costs a fraction of it, so the
    // preview keeps up with a dragged slider on a screen-sized picture.
    void SetSource(const CPicture* picture);
    bool HasSource() const { return m_hasSource; }
    const CPicture& Source() const { return m_source; }
    // Shows filter applied to the source.
    void ApplyFilter(ImageFilter& filter);

    // The area a picture is shown in: the client rectangle less its one-pixel frame.
    QRect PictureArea() const { return rect().adjusted(1, 1, -1, -1); }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    CDisplayPicture m_picture;
    CDisplayPicture m_source;
    bool m_hasPicture = false;
    bool m_hasSource = false;
};
