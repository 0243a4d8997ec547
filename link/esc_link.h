// ESCLink: the one object that owns the conversation with the device: the port, the worker
// thread, the transmit queue and receive buffer, the protocol state, the firmware image, and the
// window's controls on which it reports.
//
// Threads: the worker owns all traffic. The interface thread only resets, opens, selects ports,
// loads images and starts transfers. Every operation that touches the link's state from either
// thread holds m_linkLock; a worker pass holds it for the whole pass, so the interface thread's
// work runs between passes. Waiting for the worker (stop, claiming the link) holds no lock.
#pragma once

#include "link/link_codes.h"
#include "link/port_handle.h"
#include "platform/clock.h"
#include "platform/controls.h"
#include "platform/files.h"
#include "platform/hid.h"
#include "platform/io_record.h"
#include "platform/serial.h"
#include "platform/services.h"
#include "platform/thread.h"
#include "platform/window.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>

// The message the link posts to the main window: wParam 1 = the device is ready and an update
// may start; lParam 1 = the update has finished.
inline constexpr std::uint32_t WM_LINK_STATE = platform::WM_USER + 1;

// What ReadPort keeps of the port's status: the bytes waiting in the input queue.
struct ComStat {
    std::uint32_t cbInQue = 0;
};

class ESCLink {
public:
    // On the platform's own clock, serial ports and HID bus.
    ESCLink();
    // On the services given (tests hand in the manual clock and fake ports).
    explicit ESCLink(const platform::Services& services);
    virtual ~ESCLink();

    ESCLink(const ESCLink&) = delete;
    ESCLink& operator=(const ESCLink&) = delete;

    // --- Core and worker ---------------------------------------------------------------------

    // Adds `text` as the last line of the log, or clears the log when `text` is null.
    static void AppendStatus(const char16_t* text, platform::CListBox* list);
    // Back to a closed port with nothing pending, keeping the port selection and the image.
    // True when a port name is set, which tells the caller to reopen now.
    bool ResetLink();
    // Opens the port that m_portName, m_useHidLink and m_hidIndex name; true when it is open.
    bool OpenPort();
    bool ClosePort();
    bool SetWorkerRunning(bool run);
    // The worker thread's body; returns its exit code.
    static std::uint32_t WorkerLoop(ESCLink* link);
    // One pass of the worker loop: read and dispatch, or write, or the mode's idle work.
    void WorkerPass();

    std::uint32_t ReadPort(std::uint8_t* buffer);
    std::uint32_t WritePort(const std::uint8_t* bytes);

    // --- Serial port -------------------------------------------------------------------------

    bool ConfigureComPort();

    // --- HID link ----------------------------------------------------------------------------

    bool FindHidInterface(int index, std::array<char16_t, kHidPathChars>& path);
    int CountHidLinks();
    void OpenHidLink(int n);
    void ResetHidCaps();

    // --- Protocol ----------------------------------------------------------------------------

    void DispatchReceived(const std::uint8_t* bytes, int count);
    void QueueByte(std::uint8_t b);
    void RunConnect(const std::uint8_t* byte);
    void RunQuery(const std::uint8_t* byte);
    void ShowVersion();

    // --- Transfers ---------------------------------------------------------------------------

    // Starts writing the image into the device; true when the download is under way.
    bool StartDownload();
    // Starts reading a block of device memory; true when the read is under way.
    bool StartRead();
    void RunWrite(const std::uint8_t* byte);
    void RunRead(const std::uint8_t* byte);

    // --- Upgrade files and the built-in image --------------------------------------------------

    // Validates an upgrade file and takes its blocks as the image; true when it was loaded.
    bool ReadUpgradeFile(platform::File* file);
    // Loads the image built into the program.
    void LoadBuiltInImage();

    // --- Ports -------------------------------------------------------------------------------

    // Fills the port combo with the serial ports and, when an adapter is found, the HID link,
    // which it then selects.
    void ListPorts();
    // Makes the named port the link's port: resets the link and opens it.
    void SelectPort(std::u16string_view name);

    // The name of the selected port, as held in m_portName.
    std::u16string_view PortName() const;

    // --- User-interface attachments (set by the main window; never owned) ---------------------

    platform::CComboBox* m_pPortCombo = nullptr;      // port combo, control 1003
    platform::CStatic* m_pInfoText = nullptr;         // information text, control 1005
    platform::CStatic* m_pLineLabel = nullptr;        // on-line label, control 1014
    platform::CProgressCtrl* m_pProgress = nullptr;   // progress bar, control 1011
    platform::CListBox* m_pStatusLog = nullptr;       // status log, control 1021
    platform::CButton* m_pUpdateButton = nullptr;     // the skin's Update button
    platform::CButton* m_pResetButton = nullptr;      // Reset button, control 1001
    platform::WindowHandle m_hMainWnd = nullptr;      // receives WM_LINK_STATE

    // --- Port --------------------------------------------------------------------------------

    std::array<char16_t, kPortNameChars> m_portName{};  // COM3, USB0, ttyUSB0...; empty until selected
    std::uint8_t m_useHidLink = 0;                       // 1: the HID link; 0: a COM port
    std::int32_t m_hidIndex = 0;                         // which matching adapter, from 0
    std::int32_t m_hidDeviceCount = 0;                   // adapters found by the last listing
    std::int32_t m_comPortCount = 0;                     // serial ports found by the last listing
    std::array<char16_t, kHidPathChars> m_hidPath{};     // path of the interface last looked at
    PortHandle m_hPort;                                  // the open port
    std::unique_ptr<platform::IoRecord> m_pOverlapped;   // the record of every read and write
    ComStat m_comStat;                                   // port status as of the last read
    std::uint16_t m_inputReportLength = 0;               // HID report lengths, report ID included
    std::uint16_t m_outputReportLength = 0;
    std::unique_ptr<std::uint8_t[]> m_pOutputReport;     // one HID output report
    std::uint8_t m_hidReportId = 0;                      // report ID of the next output report

    // --- Worker ------------------------------------------------------------------------------

    std::unique_ptr<platform::Thread> m_hThread;
    std::atomic<std::uint8_t> m_keepRunning{0};  // the worker loop runs while it is 1
    std::atomic<std::uint8_t> m_ioBusy{0};       // 1 from the start of a read or write until the worker saw it return
    std::uint32_t m_lastRxTick = 0;              // last protocol machine call; 0: the silence rule is not armed
    std::uint32_t m_lastIoTick = 0;              // last read or write that moved data

    // --- Transmit queue, receive buffer and echo ---------------------------------------------

    std::array<std::uint8_t, kTxBufferSize> m_txBuffer{};  // transmit queue
    std::int32_t m_txCount = 0;                           // bytes queued, not yet written
    std::int32_t m_txOffset = 0;                          // bytes of the current burst already written
    std::array<std::uint8_t, kRxBufferSize> m_rxBuffer{};  // the bytes of one read
    std::uint8_t m_echoCancel = 0;                        // the line echoes: drop own echo first
    std::int32_t m_echoPending = 0;                       // echo bytes still to drop
    std::uint8_t m_pauseAfterWrite = 0;                   // 1: pause 1 ms after every write
    std::array<char16_t, kMessageChars> m_message{};      // scratch for formatted status lines

    // --- Protocol state ----------------------------------------------------------------------

    std::atomic<LinkMode> m_mode{ModeOffline};
    std::int32_t m_step = 0;
    std::uint8_t m_identifyPending = 0;  // the identity query is due
    std::uint8_t m_fullQuery = 0;        // a keep-alive reads every record
    std::uint8_t m_rxByte = 0;           // the byte being handled
    std::uint8_t* m_pInfoDest = nullptr;  // record being collected
    std::int32_t m_infoLength = 0;
    std::int32_t m_infoIndex = 0;
    std::int32_t m_recordCount = 0;      // records announced in this query; 0 until the count arrived
    std::int32_t m_recordIndex = 0;      // number, from 1, of the record being received
    std::array<std::uint8_t, 3> m_deviceSignature{};  // code byte included
    std::array<std::uint8_t, 3> m_firmwareVersion{};  // code byte included

    // --- Transfer state ----------------------------------------------------------------------

    std::unique_ptr<std::uint8_t[]> m_pXfer;  // transfer buffer
    std::uint8_t* m_pXferEnd = nullptr;       // read: next free byte of the read data
    std::int32_t m_xferLength = 0;
    std::int32_t m_xferIndex = 0;
    std::uint8_t m_command = 0;
    std::array<std::uint8_t, 5> m_params{};
    std::int32_t m_retriesLeft = 0;

    // --- Firmware image ----------------------------------------------------------------------

    std::uint16_t m_blockSize = 0;
    std::uint16_t m_imageLength = 0;
    std::uint16_t m_blocksLeft = 0;
    std::unique_ptr<std::uint8_t[]> m_pImage;  // the block data; null while no image is held
    const std::uint8_t* m_pImageCursor = nullptr;  // next block to send, inside m_pImage
    // The worker has taken a block from the image that the device has not yet given its verdict
    // on; a reset puts it back, so a lost device gets it again instead of a hole in its firmware.
    std::uint8_t m_blockInHand = 0;

protected:
    platform::Clock& Clock() { return *m_pClock; }
    // Every buffer of a transfer or an image comes from here; null when memory is short.
    virtual std::unique_ptr<std::uint8_t[]> AllocateBuffer(std::size_t size);

private:
    // What every protocol machine call does first.
    void BeginMachineCall(const std::uint8_t* byte);
    void PostLinkState(std::uintptr_t wParam, std::intptr_t lParam);
    void SetInfoText(std::u16string_view text);
    void SetLineLabel(std::u16string_view text);
    void AppendMessage(std::u16string_view text);  // formats into m_message, then appends it
    void TakeOffline();                            // the off-line sequence of the worker
    void IdlePass();                               // ModeReady with nothing to read or write
    void CheckSilence();
    bool OnWorkerThread() const;

    bool OpenComPort();
    std::uint32_t ReadComPort(std::uint8_t* buffer);
    std::uint32_t WriteComPort(const std::uint8_t* bytes);
    std::uint32_t ReadHidPort(std::uint8_t* buffer);
    std::uint32_t WriteHidPort(const std::uint8_t* bytes);
    // After a write that sent `count` bytes: pauses, echo count, traffic time.
    void FinishWrite(std::uint32_t count);
    bool IsUsableAdapter(platform::HidDevice& device);
    void BeginRecord(std::uint8_t* destination);
    bool ClaimLink(LinkMode target, std::uint8_t command);
    void TakeNextBlock();
    void BlockAccepted();
    void BlockRefused();
    void PutBackBlockInHand();
    // Puts a burst into the queue after any bytes still waiting there.
    void QueueBurst(const std::uint8_t* bytes, int count);

    platform::Clock* m_pClock;
    platform::SerialPortProvider* m_pSerialPorts;
    platform::HidBus* m_pHidBus;
    platform::ThreadFactory* m_pThreads;
    platform::FileSystem* m_pFiles;
    platform::ResourceSource* m_pResources;

    std::recursive_mutex m_linkLock;
    std::mutex m_threadLock;                     // guards m_hThread and m_workerId
    std::atomic<std::thread::id> m_workerId{};
};
