#pragma once
#include "device/Connection.h"

#include <QDialog>
#include <functional>
#include <memory>

class Connecting;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

// The initial setup: emulation mode, write coercivity and RS-232 parameters, then the
// handshake with the encoder. A good handshake opens the main window and closes this one.
class frmCommSetup : public QDialog {
    Q_OBJECT
public:
    // `base`: where links come from and the clock; setup adds the operator's choices.
    explicit frmCommSetup(const Connection &base, QWidget *parent = nullptr);
    ~frmCommSetup() override;

    // Wired by StartUp: what a good handshake leads to, and the settings store writer.
    std::function<void(const Connection &)> onConnected;
    std::function<void(const Connection &)> onSaveSettings;
    // The choices of the last "OK".
    const Connection &connection() const { return connection_; }
    // Describes the device a port number names (shown beside the port list).
    std::function<QString(int)> describePort;
    // "Cancel": ends the program (tests watch it instead).
    std::function<void()> onEndProgram;

    // "OK": the handshake; returns when it has ended either way.
    void Command1_Click();

    QLabel *Label7 = nullptr;
    QGroupBox *Frame1 = nullptr;
    QRadioButton *Option2[2] = {};  // 0 "VNT-290B", 1 "HKD382"
    QLabel *Label5 = nullptr;
    QRadioButton *Option1[2] = {};  // 0 "High Co", 1 "Low Co"
    QLabel *Label6 = nullptr;
    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr, *Label4 = nullptr;
    QComboBox *Combo1 = nullptr, *Combo2 = nullptr, *Combo3 = nullptr, *Combo4 = nullptr;
    QLabel *PortDevice = nullptr;
    QLabel *Status = nullptr;          // "Testing the encoder…" while the handshake runs
    QPushButton *Command1 = nullptr;  // "OK"
    QPushButton *Command2 = nullptr;  // "Cancel"

    // The title with the maker's name (the default) or without it.
    void setShowMakerInTitles(bool show);

    // Shows which device the chosen port number names.
    void updatePortDevice();

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    void Form_Load();
    void showCommError(bool beep, const QString &reason);
    void connected();
    void endProgram();

    Connection connection_;
    std::unique_ptr<Connecting> MSComm1; // the encoder test on the chosen port
    bool finished_ = false;
    bool quitting_ = false;
};
