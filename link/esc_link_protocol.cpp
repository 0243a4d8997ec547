// The protocol's entry point, the one way machines send, and the machines that bring a device on
// line and watch that it stays there: the connect handshake, the identity query and keep-alive.
#include "link/esc_link.h"
#include "link/link_text.h"

void ESCLink::DispatchReceived(const std::uint8_t* bytes, int count) {
    for (int i = 0; i < count; ++i) {
        // The mode is read again for every byte: a byte that changes it sends the rest elsewhere.
        switch (m_mode.load()) {
            case ModeConnect:
                RunConnect(&bytes[i]);
                break;
            case ModeIdentify:
            case ModeKeepAlive:
                RunQuery(&bytes[i]);
                break;
            case ModeRead:
                RunRead(&bytes[i]);
                break;
            case ModeWrite:
                RunWrite(&bytes[i]);
                break;
            case ModeOffline:
            case ModeReady:
                break;
        }
    }
}

void ESCLink::QueueByte(std::uint8_t b) {
    // After the bytes not yet written, which start at m_txOffset while a burst is under way.
    const auto at = m_txOffset + m_txCount;
    if (at >= kTxBufferSize) return;
    m_txBuffer[static_cast<std::size_t>(at)] = b;
    m_txCount += 1;
}

void ESCLink::BeginMachineCall(const std::uint8_t* byte) {
    m_lastRxTick = Clock().TickCount();
    m_hidReportId = HidReportData;
    if (byte != nullptr) m_rxByte = *byte;
}

// ConnectHello: waits for the greeting 0x13 (answered with 0xF7), or on the HID link for 0xF7
//   (answered with 0xFA, which connects at once). Anything else: "ESC connect fail.".
// ConnectConfirm: waits for 0xFA, which connects. An 0xF7 here is the line's echo of the PC's
//   own 0xF7: it switches echo cancelling on.
void ESCLink::RunConnect(const std::uint8_t* byte) {
    BeginMachineCall(byte);
    if (byte == nullptr) return;
    switch (m_step) {
        case ConnectHello:
            if (m_rxByte == CodeHello) {
                QueueByte(CodeAck);
                m_step = ConnectConfirm;
            } else if (m_rxByte == CodeAck && m_useHidLink) {
                QueueByte(CodeReady);
                m_mode = ModeReady;
            } else {
                AppendStatus(u"ESC connect fail.", m_pStatusLog);
            }
            break;
        case ConnectConfirm:
            if (m_rxByte == CodeReady) {
                AppendStatus(u"ESC connected.", m_pStatusLog);
                if (m_pImage) PostLinkState(1, 0);
                m_mode = ModeReady;
                m_step = ConnectHello;
            } else if (m_rxByte == CodeAck) {
                m_echoCancel = 1;
                // This byte was the echo of the PC's 0xF7; it must not be dropped again from
                // the next read.
                if (m_echoPending > 0) m_echoPending -= 1;
            }
            break;
        default:
            break;
    }
}

void ESCLink::BeginRecord(std::uint8_t* destination) {
    m_pInfoDest = destination;
    m_pInfoDest[0] = m_rxByte;
    m_infoIndex = 1;
    m_infoLength = kRecordLength;
    m_step = QueryRecord;
}

// QueryStart: the start call sends 0x27.
// QueryListen: the first byte is the record count; then 0x11 starts the signature record,
//   0x13 or 0x41 the version record, and 0xF1 ends the query (back to ModeReady).
// QueryRecord: collects a record's two data bytes, then asks for the next record with 0xF7,
//   or cuts a short keep-alive off with 0xF1, or, after the last record, waits for the
//   device's 0xF1.
void ESCLink::RunQuery(const std::uint8_t* byte) {
    BeginMachineCall(byte);
    switch (m_step) {
        case QueryStart:
            if (byte != nullptr) break;
            m_recordCount = 0;
            m_recordIndex = 1;
            QueueByte(CodeQuery);
            m_step = QueryListen;
            break;
        case QueryListen:
            if (byte == nullptr) break;
            if (m_recordCount == 0) {
                m_recordCount = m_rxByte;  // a count of 0 is no count: the next byte is taken again
            } else if (m_rxByte == RecordSignature) {
                BeginRecord(m_deviceSignature.data());
            } else if (m_rxByte == RecordVersion || m_rxByte == RecordVersionAlt) {
                BeginRecord(m_firmwareVersion.data());
            } else if (m_rxByte == CodeEnd) {
                m_mode = ModeReady;
                m_identifyPending = 0;
                SetLineLabel(u"On-line");
                ShowVersion();
            }
            break;
        case QueryRecord:
            if (byte == nullptr) break;
            m_pInfoDest[m_infoIndex] = m_rxByte;
            m_infoIndex += 1;
            if (m_infoIndex < m_infoLength) break;
            m_step = QueryListen;
            if (m_recordIndex == m_recordCount) break;  // the device closes the query itself
            m_recordIndex += 1;
            if (m_mode.load() == ModeKeepAlive && m_fullQuery == 0) {
                m_mode = ModeReady;
                SetLineLabel(u"On-line");
                QueueByte(CodeEnd);
            } else {
                QueueByte(CodeAck);
            }
            break;
        default:
            break;
    }
}

void ESCLink::ShowVersion() {
    std::u16string text;
    m_fullQuery = 0;
    if (m_deviceSignature[2] != SignatureFamily) {
        // Not a supported device: drop it; the port stays closed until selected or reset again.
        m_mode = ModeOffline;
        ResetLink();
    } else if (m_deviceSignature[1] != SignatureModelPcu) {
        text = u"KORVA unknown model, F/W Version: " + HexText2(m_firmwareVersion[1]) + u"." +
               HexText2(m_firmwareVersion[2]);
    } else if (m_firmwareVersion[1] == VersionA14i) {
        text = u"KORVA MultiCopter PCU, F/W Version A14(i)";
    } else {
        text = u"KORVA MultiCopter PCU, F/W Version ";
        // A letter byte of 0 terminates the text, as it does in a formatted C string.
        if (m_firmwareVersion[1] != 0) {
            text += static_cast<char16_t>(m_firmwareVersion[1]);
            text += DecimalText(m_firmwareVersion[2]);
        }
    }
    SetInfoText(text);
}
