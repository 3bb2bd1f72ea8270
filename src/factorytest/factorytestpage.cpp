// Page 19: log rendering, the device-record copies of each tick and the record of each run.
#include "factorytestpage.h"

#include "devicedata.h"
#include "pageformat.h"
#include "pagehost.h"
#include "ui_factorytestpage.h"

#include <QMutexLocker>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTimer>

#include <limits>

namespace {

QTextCharFormat format(LogColour colour)
{
    QTextCharFormat f;
    switch (colour) {
    case LogColour::Green: f.setForeground(QColor(0, 200, 0)); break;
    case LogColour::Red: f.setForeground(QColor(200, 0, 0)); break;
    case LogColour::Black: f.setForeground(QColor(0, 0, 0)); break;
    }
    return f;
}

QString hex(const std::uint8_t *bytes, int count)
{
    return QByteArray(reinterpret_cast<const char *>(bytes), count).toHex().toUpper();
}

} // namespace

FactoryTestPage::FactoryTestPage(PageHost &host, QWidget *parent)
    : QWidget(parent)
    , m_host(host)
    , ui(std::make_unique<Ui::FactoryTestPage>())
    , m_test(*this)
{
    ui->setupUi(this);
}

FactoryTestPage::~FactoryTestPage() = default;

void FactoryTestPage::tick(int progressValue, SecondMark second)
{
    if (second == SecondMark::Elapsed)
        m_test.secondElapsed();
    if (!m_test.isRunning()) {
        m_test.tick({}); // idle: nothing to read
        return;
    }
    FactoryTestInputs in;
    {
        QMutexLocker lock(&m_host.dataLock());
        in.pv = deviceData.pv;
        in.tempSignal = deviceData.tempCompSignal;
        in.keyBits = deviceData.factoryTestStatus;
        in.lowerRangeCopy = deviceData.lowerRangeValueCopy;
        in.upperRangeCopy = deviceData.upperRangeValueCopy;
    }
    in.progress = progressValue;
    m_test.tick(in);
}

void FactoryTestPage::leavePage()
{
    m_test.abandon();
}

void FactoryTestPage::calibrationWriteFinished(CalibrationWrite result)
{
    m_test.setCalibrationWriteResult(result);
}

void FactoryTestPage::on_pushButton_chuchangjiance_start_clicked()
{
    m_test.start();
}

void FactoryTestPage::on_pushButton_chuchangjiance_yes_clicked()
{
    m_test.answer(OperatorAnswer::Yes);
}

void FactoryTestPage::on_pushButton_chuchangjiance_no_clicked()
{
    m_test.answer(OperatorAnswer::No);
}

void FactoryTestPage::clearLog()
{
    ui->textBrowser_chuchangjiance->clear();
}

void FactoryTestPage::rewriteLastLine(const QString &text)
{
    QTextCursor cursor(ui->textBrowser_chuchangjiance->document());
    cursor.movePosition(QTextCursor::End);
    cursor.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    cursor.insertText(text, format(LogColour::Black));
}

void FactoryTestPage::appendLine(const QString &text)
{
    QTextDocument *doc = ui->textBrowser_chuchangjiance->document();
    QTextCursor cursor(doc);
    cursor.movePosition(QTextCursor::End);
    if (!doc->isEmpty())
        cursor.insertBlock();
    cursor.insertText(text, format(LogColour::Black));
}

void FactoryTestPage::appendWord(const QString &word, LogColour colour)
{
    QTextCursor cursor(ui->textBrowser_chuchangjiance->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(word, format(colour));
}

void FactoryTestPage::sendRequest(const QString &request)
{
    m_host.sendRequest(request);
}

void FactoryTestPage::setSelector(std::uint8_t selector)
{
    QMutexLocker lock(&m_host.dataLock());
    deviceData.factoryTestSelector = selector;
}

void FactoryTestPage::forgetReading(Reading reading)
{
    QMutexLocker lock(&m_host.dataLock());
    (reading == Reading::Pv ? deviceData.pv : deviceData.tempCompSignal) =
            std::numeric_limits<float>::infinity();
}

void FactoryTestPage::writeCalibration()
{
    QTimer::singleShot(0, this, [this] {
        // A restart or a page change in between made this write pointless.
        if (m_test.step() != 2)
            return;
        if (m_calibrationWrite)
            m_calibrationWrite();
        else
            qCWarning(lcFactoryTest) << "no calibration write connected";
    });
}

void FactoryTestPage::runEnded(const FactoryRun &run)
{
    TestedTransmitter who;
    const kvhart_master::Addressing address = m_host.addressing(); // takes the lock itself
    who.uniqueId = hex(address.uniqueAddress, 5);
    {
        QMutexLocker lock(&m_host.dataLock());
        who.tag = pagefmt::unpackedText(deviceData.tag, sizeof deviceData.tag).trimmed();
        who.sensorSerial = QString::number(pagefmt::get24(deviceData.sensorSerial));
    }
    emit runFinished(run, who);
    if (m_record.append(run, who))
        return;
    qCWarning(lcFactoryTest) << "test record not written:" << m_record.path()
                             << m_record.errorString();
    const QString text =
            windowTr("出厂检测记录写入失败：%1\n%2").arg(m_record.path(), m_record.errorString());
    // Shown after the tick or page change that ended the run, never inside it.
    QTimer::singleShot(0, this, [this, text] {
        m_host.showStatus(windowTr("出厂检测记录写入失败"));
        m_host.warn(text);
    });
}
