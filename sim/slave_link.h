#pragma once

#include "options.h"

#include <cstdint>
#include <modbus/modbus.h>
#include <vector>

using Bytes = std::vector<uint8_t>;

// The libmodbus RTU slave on the line's fd. Answers are not written to the line: libmodbus
// writes them into a pipe, from where they are handed back so that the caller decides when
// and how they go out.
class SlaveLink {
public:
    SlaveLink(const std::string &deviceName, int baud, const LineFormat &format, int address,
              int lineFd);
    ~SlaveLink();
    SlaveLink(const SlaveLink &) = delete;
    SlaveLink &operator=(const SlaveLink &) = delete;

    bool isValid() const { return m_ctx && m_pipe[0] >= 0; }
    void setAddress(int address);

    // Reads one frame from the line: its length when it is a valid request for this slave (or
    // a broadcast), 0 for a frame for another slave, -1 for a broken frame.
    int receive(uint8_t (&frame)[MODBUS_RTU_MAX_ADU_LENGTH]);

    // The answer libmodbus gives to the request with this mapping (empty for a broadcast).
    Bytes reply(const uint8_t *request, int length, modbus_mapping_t *mapping);
    Bytes replyException(const uint8_t *request, int code);

private:
    template <typename Send> Bytes capture(Send send);
    void skipOtherSlavesAnswer();

    modbus_t *m_ctx = nullptr;
    int m_lineFd = -1;
    int m_pipe[2] = {-1, -1};
};

uint16_t modbusCrc(const uint8_t *data, size_t length);
