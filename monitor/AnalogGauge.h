#pragma once

#include <QWidget>

namespace tarvex::monitor {

// A dial gauge. This first form shows its caption in its frame.
class TAnalogGauge : public QWidget {
public:
    explicit TAnalogGauge(QWidget *parent = nullptr);

    QString Caption() const { return m_caption; }
    void SetCaption(const QString &caption);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_caption;
};

} // namespace tarvex::monitor
