#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QPushButton;
class QVBoxLayout;

// The about window: program name, version, build date, credits and the
// update link, up to two extra lines, and the notice of the framework the
// program runs on. OK hides it; the owner decides when it goes.
class AboutInfo : public QWidget
{
    Q_OBJECT
public:
    AboutInfo(const QString &iconPath, const QString &firstLine, const QString &secondLine,
              QWidget *parent = nullptr);

protected:
    // Escape and Return close it, as they close a dialog.
    void keyPressEvent(QKeyEvent *event) override;

private slots:
    void pressOk();

private:
    void buildTitleAndButton();
    void buildContent();
    QLabel *centredLabel(const QString &text);

    QLabel *m_mainLabel = nullptr;
    QLabel *m_firstExtraLabel = nullptr;
    QLabel *m_secondExtraLabel = nullptr;
    QLabel *m_noticeLabel = nullptr;
    QVBoxLayout *m_layout = nullptr;
    QPushButton *m_okButton = nullptr;
    QString m_firstLine;
    QString m_secondLine;
};
