#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>

// A patch of one colour (0x00BBGGRR); a click on it is reported.
class CColorSwatch : public QWidget {
public:
    explicit CColorSwatch(QWidget* parent = nullptr);
    uint32_t Color() const { return m_color; }
    void SetColor(uint32_t colorRef);
    void OnClicked(std::function<void()> handler) { m_clicked = std::move(handler); }

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    uint32_t m_color = 0xC0C0C0;
    std::function<void()> m_clicked;
};

// Between colour references (0x00BBGGRR) and Qt's colours.
QColor ColorFromRef(uint32_t colorRef);
uint32_t RefFromColor(const QColor& color);
