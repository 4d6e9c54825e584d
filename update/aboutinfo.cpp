#include "aboutinfo.h"

#include "updateserver.h"
#include "version.h"

#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

AboutInfo::AboutInfo(const QString &iconPath, const QString &firstLine, const QString &secondLine,
                     QWidget *parent)
    : QWidget(parent), m_firstLine(firstLine), m_secondLine(secondLine)
{
    if (!iconPath.isEmpty())
        setWindowIcon(QIcon(QPixmap(iconPath)));
    buildTitleAndButton();
    buildContent();
}

void AboutInfo::pressOk()
{
    close();
}

void AboutInfo::buildTitleAndButton()
{
    setWindowTitle(tr("About %1").arg(QLatin1String(Version::ProductName)));
    m_okButton = new QPushButton(tr("OK"), this);
    m_okButton->setToolTip(tr("click OK to close this window"));
    connect(m_okButton, &QPushButton::clicked, this, &AboutInfo::pressOk);
    // Drawn as the default and focused, so Return and Space close the window.
    m_okButton->setDefault(true);
    setFocusProxy(m_okButton);
}

void AboutInfo::keyPressEvent(QKeyEvent *event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (event->matches(QKeySequence::Cancel) ||
        (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier)) {
        pressOk();
        return;
    }
    QWidget::keyPressEvent(event);
}

QLabel *AboutInfo::centredLabel(const QString &text)
{
    auto *label = new QLabel(QStringLiteral("<center>") + text + QStringLiteral("</center>"), this);
    label->setTextFormat(Qt::RichText);
    return label;
}

void AboutInfo::buildContent()
{
    const QString version = QStringLiteral("%1.%2.%3.%4")
                                .arg(Version::Major)
                                .arg(Version::Minor)
                                .arg(Version::Revision)
                                .arg(Version::Build);
    const QStringList lines{
        QStringLiteral("<b>%1</b>").arg(QLatin1String(Version::ProductName)),
        tr("Version: ") + version,
        tr("Date: ") + QLatin1String(Version::BuildDate),
        tr("Developed by the Orvello project"),
        UpdateServer::updateLink(),
        tr("English original text by the Orvello project"),
    };
    m_mainLabel = centredLabel(lines.join(QStringLiteral("<br>")));
    m_mainLabel->setObjectName(QStringLiteral("main"));
    m_mainLabel->setOpenExternalLinks(true);

    if (!m_firstLine.isEmpty())
        m_firstExtraLabel = centredLabel(m_firstLine);
    if (!m_secondLine.isEmpty())
        m_secondExtraLabel = centredLabel(m_secondLine);

    // The version the program actually runs on, which a distribution may
    // update underneath it.
    m_noticeLabel = centredLabel(
        tr("This program uses <a href=\"https://www.qt.io/\">Qt</a> version %1 under the "
           "<a href=\"https://www.gnu.org/licenses/lgpl-3.0.html\">GNU Lesser General Public "
           "License version 3</a>.")
            .arg(QLatin1String(qVersion())));
    m_noticeLabel->setObjectName(QStringLiteral("notice"));
    m_noticeLabel->setOpenExternalLinks(true);

    m_layout = new QVBoxLayout;
    m_layout->addWidget(m_mainLabel);
    if (m_firstExtraLabel)
        m_layout->addWidget(m_firstExtraLabel);
    if (m_secondExtraLabel)
        m_layout->addWidget(m_secondExtraLabel);
    m_layout->addWidget(m_noticeLabel);
    m_layout->addStretch();
    m_layout->addWidget(m_okButton);
    setLayout(m_layout);
}
