#include "app/CTessalyAboutDlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#include "app/CVantrelApp.h"

CTessalyAboutDlg::CTessalyAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromLatin1(kApplicationTitle));
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(QStringLiteral("<b style='font-size:14pt'>Pictorva</b>&nbsp;&nbsp;version ") +
                             QCoreApplication::applicationVersion());
    title->setObjectName(QStringLiteral("aboutTitle"));
    auto* line = new QLabel(QStringLiteral("Gets lost photographs, audio and video back from disks, memory cards\n"
                                           "and disk images, strictly read-only."));
    auto* links = new QLabel(QStringLiteral("<a href='home'>Pictorva home page</a> &middot; "
                                            "<a href='guide'>User guide</a>"));
    auto* products = new QLabel(QStringLiteral("<a href='products'>Explore more data recovery products</a>"));
    connect(links, &QLabel::linkActivated, this, [this](const QString& which) {
        if (which == QLatin1String("home"))
            theApp()->openUrl(theApp()->homepageUrl());
        else
            theApp()->openGuide(this);
    });
    connect(products, &QLabel::linkActivated, this, [] { theApp()->openUrl(theApp()->productsUrl()); });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(title);
    layout->addWidget(line);
    layout->addSpacing(6);
    layout->addWidget(links);
    layout->addWidget(products);
    layout->addWidget(buttons);
}
