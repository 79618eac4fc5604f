#include "dialogs/frmCrawlOptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QVBoxLayout>

#include "core/CrawlOptions.h"

namespace {

constexpr CrawlScope kScopes[] = {CrawlScope::All, CrawlScope::Host, CrawlScope::Folder};

}  // namespace

frmCrawlOptions::frmCrawlOptions(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("frmCrawlOptions"));
    setWindowTitle(QStringLiteral("巡回の詳細設定"));
    setAttribute(Qt::WA_DeleteOnClose);
    BuildControls();
    ShowSettings();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void frmCrawlOptions::BuildControls() {
    spnConnections = new QSpinBox(this);
    spnConnections->setRange(CrawlOptions::kMinConnections, CrawlOptions::kMaxConnections);
    chkNoRevisit = new QCheckBox(QStringLiteral("一度取得したＵＲＬは再び取得しない"), this);
    cboScope = new QComboBox(this);
    cboScope->addItems({QStringLiteral("すべてのページ"),
                        QStringLiteral("開始ページと同じホストのページだけ"),
                        QStringLiteral("開始ページのフォルダ以下のページだけ")});
    chkSkipKnown =
        new QCheckBox(QStringLiteral("以前の巡回で保存したイメージファイルは保存しない"), this);
    chkSkipSimilar = new QCheckBox(
        QStringLiteral("保存したものと見た目が同じで大きくないイメージファイルは保存しない"), this);
    spnDelay = new QSpinBox(this);
    spnDelay->setRange(0, CrawlOptions::kMaxDelayMs);
    spnDelay->setSingleStep(100);
    spnDelay->setSuffix(QStringLiteral(" ミリ秒"));
    chkRobots = new QCheckBox(QStringLiteral("robots.txt の指示に従う"), this);
    chkArchive = new QCheckBox(QStringLiteral("巡回の記録をダウンロード先に残す"), this);
    chkParseHtml = new QCheckBox(
        QStringLiteral("ページを HTML として読み、srcset や遅延読み込みの画像も集める"), this);
    chkRenderPages =
        new QCheckBox(QStringLiteral("ページのスクリプトを実行し、表示される画像も集める"), this);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("同時に取得するファイルの数:"), spnConnections);
    form->addRow(QStringLiteral("巡回するページ:"), cboScope);
    form->addRow(QStringLiteral("同じホストへの要求の間隔:"), spnDelay);
    spnRetries = new QSpinBox(this);
    spnRetries->setRange(0, CrawlOptions::kMaxRetries);
    spnRetries->setSuffix(QStringLiteral(" 回"));
    form->addRow(QStringLiteral("失敗した取得を再び試みる回数:"), spnRetries);
    txtUserAgent = new QLineEdit(this);
    txtUserAgent->setPlaceholderText(EffectiveUserAgent(CrawlOptions{}));
    form->addRow(QStringLiteral("User-Agent:"), txtUserAgent);
    form->addRow(QStringLiteral("クッキーのファイル:"), BuildCookieRow());
    form->addRow(QStringLiteral("イメージファイルの最小の大きさ:"), BuildPixelsRow());
    BuildNetworkRows(form);

    auto* buttons = new QDialogButtonBox(this);
    cmdOK = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    cmdCancel = buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &frmCrawlOptions::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* note = new QLabel(
        QStringLiteral("巡回の記録はダウンロード先の siterambler-archive.sqlite に残ります。"),
        this);
    auto* column = new QVBoxLayout(this);
    column->addLayout(form);
    for (QWidget* w : {static_cast<QWidget*>(chkNoRevisit), static_cast<QWidget*>(chkSkipKnown),
                       static_cast<QWidget*>(chkSkipSimilar), static_cast<QWidget*>(chkRobots),
                       static_cast<QWidget*>(chkParseHtml), static_cast<QWidget*>(chkRenderPages),
                       static_cast<QWidget*>(chkArchive), static_cast<QWidget*>(note)})
        column->addWidget(w);
    column->addWidget(buttons);
}

QLayout* frmCrawlOptions::BuildCookieRow() {
    txtCookieFile = new QLineEdit(this);
    txtCookieFile->setMinimumWidth(240);
    cmdCookieFile = new QPushButton(QStringLiteral("参照…"), this);
    connect(cmdCookieFile, &QPushButton::clicked, this, &frmCrawlOptions::cmdCookieFile_Click);
    auto* row = new QHBoxLayout;
    row->addWidget(txtCookieFile);
    row->addWidget(cmdCookieFile);
    return row;
}

// Width and height, each 0 for any.
QLayout* frmCrawlOptions::BuildPixelsRow() {
    auto* row = new QHBoxLayout;
    for (QSpinBox** box : {&spnMinWidth, &spnMinHeight}) {
        *box = new QSpinBox(this);
        (*box)->setRange(0, CrawlOptions::kMaxPixels);
        (*box)->setSingleStep(10);
        (*box)->setSpecialValueText(QStringLiteral("指定なし"));
        (*box)->setSuffix(QStringLiteral(" ピクセル"));
        row->addWidget(
            new QLabel(box == &spnMinWidth ? QStringLiteral("幅") : QStringLiteral("高さ"), this));
        row->addWidget(*box, 1);
    }
    return row;
}

void frmCrawlOptions::BuildNetworkRows(QFormLayout* form) {
    txtLimitRate = new QLineEdit(this);
    txtLimitRate->setPlaceholderText(QStringLiteral("制限なし（例: 200k、1.5m バイト毎秒）"));
    txtLimitRate->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral(R"(\s*(\d+(\.\d*)?|\.\d+)?\s*[kKmM]?\s*)")),
        txtLimitRate));
    form->addRow(QStringLiteral("転送速度の上限:"), txtLimitRate);
    txtProxy = new QLineEdit(this);
    txtProxy->setPlaceholderText(QStringLiteral("環境変数に従う（例: socks5://127.0.0.1:1080）"));
    form->addRow(QStringLiteral("プロキシ:"), txtProxy);
}

// A cookies file in the format Wget and curl read (cookies.txt).
void frmCrawlOptions::cmdCookieFile_Click() {
    const QString chosen = QFileDialog::getOpenFileName(
        this, QStringLiteral("クッキーのファイル"), txtCookieFile->text(),
        QStringLiteral("cookies.txt (*.txt);;すべてのファイル (*)"));
    if (!chosen.isEmpty()) txtCookieFile->setText(chosen);
}

void frmCrawlOptions::ShowSettings() {
    const CrawlOptions& o = gCrawlOptions;
    spnConnections->setValue(o.connections);
    chkNoRevisit->setChecked(o.noRevisit);
    for (int i = 0; i < 3; ++i)
        if (kScopes[i] == o.scope) cboScope->setCurrentIndex(i);
    chkSkipKnown->setChecked(o.skipKnown);
    chkSkipSimilar->setChecked(o.skipSimilar);
    spnDelay->setValue(o.delayMs);
    chkRobots->setChecked(o.robots);
    chkArchive->setChecked(o.archive);
    chkParseHtml->setChecked(o.parseHtml);
    chkRenderPages->setChecked(o.renderPages);
    spnRetries->setValue(o.retries);
    txtUserAgent->setText(o.userAgent);
    txtCookieFile->setText(o.cookieFile);
    spnMinWidth->setValue(o.minWidth);
    spnMinHeight->setValue(o.minHeight);
    txtLimitRate->setText(o.limitRate > 0 ? RateText(o.limitRate) : QString());
    txtProxy->setText(o.proxy);
}

void frmCrawlOptions::cmdOK_Click() {
    CrawlOptions& o = gCrawlOptions;
    o.connections = spnConnections->value();
    o.noRevisit = chkNoRevisit->isChecked();
    o.scope = kScopes[qBound(0, cboScope->currentIndex(), 2)];
    o.skipKnown = chkSkipKnown->isChecked();
    o.skipSimilar = chkSkipSimilar->isChecked();
    o.delayMs = spnDelay->value();
    o.robots = chkRobots->isChecked();
    o.archive = chkArchive->isChecked();
    o.parseHtml = chkParseHtml->isChecked();
    o.renderPages = chkRenderPages->isChecked();
    o.retries = spnRetries->value();
    o.userAgent = txtUserAgent->text().trimmed();
    o.cookieFile = txtCookieFile->text().trimmed();
    o.minWidth = spnMinWidth->value();
    o.minHeight = spnMinHeight->value();
    if (!ParseRate(txtLimitRate->text(), &o.limitRate)) o.limitRate = 0;  // empty or "0"
    o.proxy = txtProxy->text().trimmed();
    accept();
}

// (moc's code is compiled with this file: see sr_library)
#include "moc_frmCrawlOptions.cpp"
