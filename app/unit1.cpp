// Part of TMainForm (unit1.h): construction, the stored layout, the controls
// and their wiring, closing.
#include "app/unit1.h"

#include "app/WindowAccessibility.h"
#include "controls/MMObj.h"
#include "platform/core/Exceptions.h"
#include "settings/MemoryFile.h"

#include <QCloseEvent>
#include <QFont>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <array>

namespace keb
{

namespace
{

constexpr int ClientWidth = 409;
constexpr int ClientHeight = 318;

// The equalizer's band list as the layout stores it: the "EQU" container
// with the description "Untitled", FFT length 256 and no bands.
constexpr std::array<std::uint8_t, 23> StoredBandList = {
    0x45, 0x51, 0x55, 0x00, 0x01, 0x08, 0x00, 0x00, 0x00, 'U',  'n', 't',
    'i',  't',  'l',  'e',  'd',  0x00, 0x01, 0x00, 0x00, 0x00, 0x00};

// Nine lines, separated by carriage return and line feed.
const char* const AboutText = "            FREE       \r\n"
                              "  \r\n"
                              "  DSP filter program for HAM\r\n"
                              "  KEB 1.2.1 (2001.05.28) \r\n"
                              "  \r\n"
                              "  free software, built with Qt\r\n"
                              "  share it and improve it\r\n"
                              " \r\n"
                              "                                     73 :-)";

void SetColorOf(QWidget* widget, QPalette::ColorRole role, TColor color)
{
    QPalette palette = widget->palette();
    palette.setColor(role, ToQColor(color));
    widget->setPalette(palette);
}

QLabel* MakeLabel(QWidget* parent, const QString& text, int left, int top, TColor color)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->move(left, top);
    label->adjustSize();
    SetColorOf(label, QPalette::WindowText, color);
    return label;
}

TSpeedButton* MakeSpeedButton(QWidget* parent, const char* name, const QString& caption, int left,
                              int top, int width, int height, TColor fontColor)
{
    auto* button = new TSpeedButton(parent);
    button->setObjectName(name);
    button->SetCaption(caption);
    button->setGeometry(left, top, width, height);
    button->SetFontColor(fontColor);
    button->SetGroupIndex(2);
    button->SetAllowAllUp(true);
    return button;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, int left,
                        int top, int width, int height)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(left, top, width, height);
    return button;
}

// The glyph of the OFF button: a red stop square.
QPixmap StopGlyph()
{
    QPixmap glyph(9, 9);
    glyph.fill(Qt::transparent);
    QPainter painter(&glyph);
    painter.fillRect(1, 1, 7, 7, QColor(0x80, 0, 0));
    painter.fillRect(2, 2, 5, 5, QColor(0xff, 0, 0));
    return glyph;
}

// The window's icon: a keyed tone over a dark band, like a waterfall line.
QIcon WindowIcon()
{
    QPixmap icon(32, 32);
    icon.fill(QColor(0, 0, 0x40));
    QPainter painter(&icon);
    painter.setPen(QPen(QColor(0, 0xFF, 0), 3));
    painter.drawLine(4, 16, 10, 16);
    painter.drawLine(14, 16, 28, 16);
    painter.setPen(QPen(QColor(0xFF, 0, 0), 1));
    painter.drawLine(2, 26, 30, 26);
    return QIcon(icon);
}

} // namespace

TMainForm::TMainForm(QWidget* parent)
    : QWidget(parent), components_(std::make_unique<TComponent>(nullptr))
{
    InstallAccessibleInterfaces();
    components_->SetName("MainForm");
    setObjectName("MainForm");
    setWindowTitle("KEB 1.2.1");
    setWindowIcon(WindowIcon());
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowContextHelpButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(ClientWidth, ClientHeight);
    setAutoFillBackground(true);
    SetColorOf(this, QPalette::Window, FormColor);
    SetColorOf(this, QPalette::WindowText, clBlack);
    QFont font("MS Sans Serif");
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    setFont(font);

    CreateComponents();
    CreateControls();
    LoadComponentSettings();
    LinkChain();
    for (int index = 0; index < components_->ComponentCount(); ++index)
        components_->Components(index)->Loaded();
    for (TMMSlider* slider : sl)
        slider->Loaded();
    Sh->Loaded();
    ConnectHandlers();
    MakeWindowAccessible(*this);
    Run([this] { FormCreate(); });
}

TMainForm::~TMainForm()
{
    // The capture worker pushes into the queue behind it; it stops before
    // any component of the chain goes.
    MMWaveIn->Close();
    WaveOut->Close();
    components_.reset();
}

void TMainForm::CreateComponents()
{
    TComponent* owner = components_.get();
    MMWaveIn = new TMMWaveIn(owner);
    MMRingBuffer1 = new TMMRingBuffer(owner);
    Connector1 = new TMMConnector(owner);
    Equalizer = new TMMEqualizer(owner);
    Notch = new TMMNotchFilter(owner);
    NoiseReducer = new TMMNoiseReducer(owner);
    WaveOut = new TMMWaveOut(owner);
    Connector = new TMMConnector(owner);
    HiTimer = new TMMHiTimer(owner);
    Generator = new TMMGenerator(owner);
    MMWaveIn->SetName("MMWaveIn");
    MMRingBuffer1->SetName("MMRingBuffer1");
    Connector1->SetName("Connector1");
    Equalizer->SetName("Equalizer");
    Notch->SetName("Notch");
    NoiseReducer->SetName("NoiseReducer");
    WaveOut->SetName("WaveOut");
    Connector->SetName("Connector");
    HiTimer->SetName("HiTimer");
    Generator->SetName("Generator");
    components_->BeginLoading();
}

void TMainForm::LoadComponentSettings()
{
    MMWaveIn->SetSampleRate(8000);
    MMWaveIn->SetBitLength(b16Bit);
    MMWaveIn->SetMode(mMono);
    MMWaveIn->SetBufferSize(2000);
    MMWaveIn->SetNumBuffers(2);
    MMWaveIn->SetCallBackMode(cmThread);
    MMWaveIn->SetTimeFormat(tfSample);
    MMWaveIn->SetMaxRecordTime(-10);

    MMRingBuffer1->SetBufferSize(2000);
    MMRingBuffer1->SetNumBuffers(2);
    MMRingBuffer1->SetQueueMode(qmDuplex);
    MMRingBuffer1->SetWaitIfFull(true);
    MMRingBuffer1->SetTimeOut(1);

    TMMConnector::SetEnterIdle(false);
    for (TMMConnector* tap : {Connector1, Connector})
        tap->SetAutoTrigger(false);
    Connector1->SetSpectrogram(0, MMSpectrogram1);
    Connector->SetSpectrogram(0, MMSpectrogram2);

    Equalizer->SetSampleRate(8000);
    Equalizer->SetChannel(chLeft);
    Equalizer->Filters()->SetObjectContainer(StoredBandList);

    WaveOut->SetBufferSize(2000);
    WaveOut->SetNumBuffers(2);
    WaveOut->SetCallBackMode(cmThread);
    WaveOut->SetTimeFormat(tfSample);

    HiTimer->SetCallBackMode(cmThread);
    HiTimer->SetEnabled(false);
    HiTimer->SetInterval(25);

    Generator->SetSampleRate(8000);
    Generator->SetBitLength(b16Bit);
    Generator->SetWaveForm(wfNoise);
    Generator->SetFrequency(1000.0);
    Generator->SetAmplitude(4000);
}

void TMainForm::LinkChain()
{
    const std::array<TMMDSPComponent*, 8> chain = {MMWaveIn, MMRingBuffer1, Connector1, Equalizer,
                                                   Notch,    NoiseReducer,  WaveOut,    Connector};
    for (std::size_t index = 0; index + 1 < chain.size(); ++index)
    {
        chain[index]->SetOutput(chain[index + 1]);
        chain[index + 1]->SetInput(chain[index]);
    }
}

void TMainForm::CreateControls()
{
    CreateAboutView();
    Box = new QGroupBox(this);
    Box->setObjectName("Box");
    Box->setGeometry(3, 0, 403, 317);
    // Opaque, so that it covers the about view behind it.
    Box->setAutoFillBackground(true);
    CreateBandControls();
    CreatePresetBox();
    CreateCommonBox();
}

void TMainForm::CreateBandControls()
{
    for (int index = 0; index < 2; ++index)
    {
        auto* waterfall = new TMMSpectrogram(Box);
        waterfall->setObjectName(index == 0 ? "MMSpectrogram1" : "MMSpectrogram2");
        waterfall->BeginLoading();
        if (index == 0)
            waterfall->SetBounds(5, 10, 122, 301);
        else
            waterfall->SetBounds(285, 10, 28, 301);
        waterfall->Bevel().SetBevelInner(TPanelBevel::bvLowered);
        waterfall->Bevel().SetBevelOuter(TPanelBevel::bvNone);
        waterfall->Bevel().SetBorderWidth(3);
        waterfall->SetSampleRate(8000);
        waterfall->SetBitLength(b16Bit);
        waterfall->SetChannel(chLeft);
        waterfall->SetFFTLength(256);
        waterfall->SetAmplitudeScale(50);
        waterfall->SetAccelerate(false);
        waterfall->Loaded();
        (index == 0 ? MMSpectrogram1 : MMSpectrogram2) = waterfall;
    }
    for (int band = 0; band < BandCount; ++band)
    {
        auto* slider = new TMMSlider(Box);
        slider->setObjectName(QString("sl%1").arg(band));
        slider->BeginLoading();
        const int top = 297 - 15 * band;
        slider->SetBounds(129, top, 77, 12);
        slider->SetRange(-60, 12);
        slider->SetPosition(0);
        slider->Scale().SetVisible(false);
        slider->SetScaleDistance(5);
        slider->SetScalePosition(TMMScalePos::spAboveOrLeft);
        // A plain two-pixel border, no bevel lines: the 77 x 12 control keeps
        // a track of 73 x 8 pixels, in which the 5 x 11 thumb moves over
        // 68 pixels (0 dB 57 pixels from the left end).
        slider->Bevel().SetBevelInner(TPanelBevel::bvNone);
        slider->Bevel().SetBevelOuter(TPanelBevel::bvNone);
        slider->Bevel().SetBorderWidth(2);
        slider->SetThumbWidth(5);
        slider->SetThumbHeight(11);
        slider->SetGrooveSize(1);
        slider->SetFocusAction(TMMFocusAction::faFocusThumb);
        slider->SetFocusColor(clRed);
        sl[band] = slider;
        const int labelNumber = BandCount - band;
        QLabel* label = MakeLabel(Box, QString("%1/%2 Hz").arg(band * 200).arg((band + 1) * 200),
                                  210, top, clBlack);
        label->setObjectName(QString("Label%1").arg(labelNumber));
        BandLabels[labelNumber - 1] = label;
    }
}

void TMainForm::CreateCommonBox()
{
    CommonBox = new QGroupBox("Common", Box);
    CommonBox->setGeometry(314, 206, 80, 102);
    StartBtn = MakeSpeedButton(CommonBox, "StartBtn", "&ON", 8, 16, 31, 23, clBlack);
    StopBtn = new TBitBtn(CommonBox);
    StopBtn->setObjectName("StopBtn");
    StopBtn->SetCaption("O&FF");
    StopBtn->SetGlyph(StopGlyph());
    StopBtn->setGeometry(40, 16, 31, 23);
    StopBtn->setEnabled(false);
    btnEQ = MakeButton(CommonBox, "btnEQ", "Filter On", 8, 44, 63, 24);
    btnEQ->setEnabled(false);
    Button1 = MakeButton(CommonBox, "Button1", "Def", 8, 72, 31, 24);
    Ab = new TSpeedButton(CommonBox);
    Ab->setObjectName("Ab");
    Ab->SetCaption("?");
    Ab->setGeometry(40, 72, 31, 24);
}

void TMainForm::CreatePresetBox()
{
    PresetBox = new QGroupBox(Box);
    PresetBox->setGeometry(314, 8, 80, 199);
    LED = new TMMLED(PresetBox);
    LED->setObjectName("LED");
    LED->SetBounds(12, 13, 22, 11);
    LED->SetLEDColor(LedIdleColor);
    M = MakeButton(PresetBox, "M", "Save", 41, 10, 32, 18);
    M->setToolTip("Save Memory");
    M->setEnabled(false);
    F02b = MakeSpeedButton(PresetBox, "F02b", "0.&2", 7, 28, 32, 18, clRed);
    F04b = MakeSpeedButton(PresetBox, "F04b", "0.&4", 7, 46, 32, 18, clRed);
    F18b = MakeSpeedButton(PresetBox, "F18b", "1.&8", 7, 64, 32, 18, clRed);
    F26b = MakeSpeedButton(PresetBox, "F26b", "2.&6", 7, 82, 32, 18, clFuchsia);
    const std::array<const char*, 4> names = {"M1b", "M2b", "M3b", "M4b"};
    const std::array<const char*, 4> captions = {"&A", "&B", "&C", "&D"};
    for (int memory = 0; memory < 4; ++memory)
        MemoryButtons[memory] = MakeSpeedButton(PresetBox, names[memory], captions[memory], 41,
                                                28 + 18 * memory, 32, 18, clBlue);
    ShiftLabel = MakeLabel(PresetBox, "<- Shift ->", 18, 101, clRed);
    P = new TMMCustomPanel(PresetBox);
    P->setObjectName("P");
    P->SetBounds(5, 114, 70, 70);
    P->Bevel().SetBevelOuter(TPanelBevel::bvRaised);
    P->Bevel().SetBevelOuterWidth(5);
    P->SetCaption("P");
    P->hide();
    Sh = new TMMWheel(PresetBox);
    Sh->setObjectName("Sh");
    Sh->BeginLoading();
    Sh->SetBounds(10, 119, 60, 60);
    Sh->SetMinValue(0);
    Sh->SetMaxValue(20);
    Sh->SetValue(4);
    Sh->SetRadius(12);
    Sh->Scale().SetVisible(true);
    ShiftPresetsLabel = MakeLabel(PresetBox, "(0.2/0.4/1.8)", 9, 184, clRed);
}

void TMainForm::CreateAboutView()
{
    Label25 = new QLabel(AboutText, this);
    Label25->setObjectName("Label25");
    Label25->setTextFormat(Qt::PlainText);
    Label25->setGeometry(17, 16, 237, 144);
    Label25->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont bold = font();
    bold.setBold(true);
    bold.setPixelSize(13);
    Label25->setFont(bold);
    SetColorOf(Label25, QPalette::WindowText, clBlue);
    RxGIFAnimator1 = new TAboutAnimation(this);
    RxGIFAnimator1->setObjectName("RxGIFAnimator1");
    RxGIFAnimator1->setGeometry(273, 186, 128, 126);
}

void TMainForm::ConnectHandlers()
{
    for (TMMSlider* slider : sl)
        slider->OnChange = [this](TMMCustomSlider* sender)
        { Run([this, sender] { sliderChange(sender); }); };
    Sh->OnChange = [this](TMMCustomWheel*) { Run([this] { ShChange(); }); };
    WaveOut->OnStart = [this](TComponent*) { Run([this] { WaveOutStart(); }); };
    WaveOut->OnStop = [this](TComponent*) { Run([this] { WaveOutStop(); }); };
    HiTimer->SetOnTimer([this](TMMHiTimer*) { Run([this] { HiTimerTimer(); }); });
    RxGIFAnimator1->OnClick = [this] { Run([this] { RxGIFAnimator1Click(); }); };
    OnClicked(StartBtn, &TMainForm::StartBtnClick);
    OnClicked(StopBtn, &TMainForm::StopBtnClick);
    OnClicked(btnEQ, &TMainForm::btnEQClick);
    OnClicked(Button1, &TMainForm::Button1Click);
    OnClicked(Ab, &TMainForm::AbClick);
    OnClicked(F02b, &TMainForm::F02bClick);
    OnClicked(F04b, &TMainForm::F04bClick);
    OnClicked(F18b, &TMainForm::F18bClick);
    OnClicked(F26b, &TMainForm::F26bClick);
    OnClicked(M, &TMainForm::MClick);
    for (int memory = 0; memory < 4; ++memory)
        QObject::connect(MemoryButtons[memory], &QAbstractButton::clicked, this,
                         [this, memory] { Run([this, memory] { MemoryClick(memory + 1); }); });
}

void TMainForm::OnClicked(QAbstractButton* button, void (TMainForm::*handler)())
{
    QObject::connect(button, &QAbstractButton::clicked, this,
                     [this, handler] { Run([this, handler] { (this->*handler)(); }); });
}

void TMainForm::Run(const std::function<void()>& handler)
{
    if (handlerDepth_ > 0)
    {
        handler();
        return;
    }
    ++handlerDepth_;
    try
    {
        handler();
    }
    catch (const std::exception& error)
    {
        --handlerDepth_;
        HandleException(error);
        return;
    }
    --handlerDepth_;
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    Run([this] { FormClose(); });
    event->accept();
}

} // namespace keb
