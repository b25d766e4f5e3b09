#include "slave_link.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

SlaveLink::SlaveLink(const std::string &deviceName, int baud, const LineFormat &format, int address,
                     int lineFd)
    : m_lineFd(lineFd) {
    m_ctx =
        modbus_new_rtu(deviceName.c_str(), baud, format.parity, format.dataBits, format.stopBits);
    if (!m_ctx)
        return;
    modbus_set_socket(m_ctx, lineFd);
    modbus_set_slave(m_ctx, address);
    // A request arrives in one piece on a pseudo-terminal; a pause inside one is a broken frame.
    modbus_set_byte_timeout(m_ctx, 0, 100000);
    if (pipe2(m_pipe, O_NONBLOCK | O_CLOEXEC) != 0)
        m_pipe[0] = m_pipe[1] = -1;
}

SlaveLink::~SlaveLink() {
    // modbus_close would close the line's fd, which the line owns.
    if (m_ctx)
        modbus_free(m_ctx);
    for (int fd : m_pipe) {
        if (fd >= 0)
            close(fd);
    }
}

void SlaveLink::setAddress(int address) {
    modbus_set_slave(m_ctx, address);
}

int SlaveLink::receive(uint8_t (&frame)[MODBUS_RTU_MAX_ADU_LENGTH]) {
    const int rc = modbus_receive(m_ctx, frame);
    if (rc == 0)
        skipOtherSlavesAnswer();
    return rc;
}

// After a request for another slave, libmodbus takes the next frame on the line for that
// slave's answer and drops it. Here no other slave answers, so the next frame is a request;
// let libmodbus look for that answer on a closed pipe, where it gives up at once.
void SlaveLink::skipOtherSlavesAnswer() {
    int empty[2];
    if (pipe2(empty, O_CLOEXEC) != 0)
        return;
    close(empty[1]);
    uint8_t scratch[MODBUS_RTU_MAX_ADU_LENGTH];
    modbus_set_socket(m_ctx, empty[0]);
    modbus_receive(m_ctx, scratch);
    modbus_set_socket(m_ctx, m_lineFd);
    close(empty[0]);
}

template <typename Send> Bytes SlaveLink::capture(Send send) {
    modbus_set_socket(m_ctx, m_pipe[1]);
    send();
    modbus_set_socket(m_ctx, m_lineFd);
    Bytes answer;
    uint8_t chunk[MODBUS_RTU_MAX_ADU_LENGTH];
    ssize_t n;
    while ((n = read(m_pipe[0], chunk, sizeof chunk)) > 0)
        answer.insert(answer.end(), chunk, chunk + n);
    return answer;
}

Bytes SlaveLink::reply(const uint8_t *request, int length, modbus_mapping_t *mapping) {
    return capture([&] { modbus_reply(m_ctx, request, length, mapping); });
}

Bytes SlaveLink::replyException(const uint8_t *request, int code) {
    if (code < MODBUS_EXCEPTION_MAX)
        return capture([&] { modbus_reply_exception(m_ctx, request, unsigned(code)); });
    // libmodbus knows codes up to 11 only.
    Bytes answer = {request[0], uint8_t(request[1] | 0x80), uint8_t(code)};
    const uint16_t crc = modbusCrc(answer.data(), answer.size());
    answer.push_back(uint8_t(crc & 0xFF));
    answer.push_back(uint8_t(crc >> 8));
    return answer;
}

uint16_t modbusCrc(const uint8_t *data, size_t length) {
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
    }
    return crc;
}
