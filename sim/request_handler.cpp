#include "request_handler.h"

#include <memory>

namespace {

using MappingPtr = std::unique_ptr<modbus_mapping_t, decltype(&modbus_mapping_free)>;

bool isRead(int function) {
    return function == MODBUS_FC_READ_COILS || function == MODBUS_FC_READ_HOLDING_REGISTERS ||
           function == MODBUS_FC_READ_INPUT_REGISTERS;
}

Space spaceOf(int function) {
    switch (function) {
    case MODBUS_FC_READ_COILS:
    case MODBUS_FC_WRITE_SINGLE_COIL:
    case MODBUS_FC_WRITE_MULTIPLE_COILS:
        return Space::Coil;
    case MODBUS_FC_READ_INPUT_REGISTERS:
        return Space::Input;
    default:
        return Space::Holding;
    }
}

int maxCount(int function) {
    switch (function) {
    case MODBUS_FC_READ_COILS:
        return MODBUS_MAX_READ_BITS;
    case MODBUS_FC_WRITE_MULTIPLE_COILS:
        return MODBUS_MAX_WRITE_BITS;
    case MODBUS_FC_WRITE_MULTIPLE_REGISTERS:
        return MODBUS_MAX_WRITE_REGISTERS;
    default:
        return MODBUS_MAX_READ_REGISTERS;
    }
}

uint16_t word(const uint8_t *p) {
    return uint16_t(p[0] << 8 | p[1]);
}

} // namespace

bool RequestHandler::parse(const uint8_t *frame, int length, Request &r) {
    r.frame = frame;
    r.length = length;
    r.function = frame[1];
    if (length < 8)
        return false;
    r.start = word(frame + 2);
    r.count = word(frame + 4);
    r.values.clear();
    switch (r.function) {
    case MODBUS_FC_WRITE_SINGLE_COIL:
        r.count = 1;
        if (word(frame + 4) != 0xFF00 && word(frame + 4) != 0)
            return false;
        r.values.push_back(word(frame + 4) == 0xFF00);
        break;
    case MODBUS_FC_WRITE_SINGLE_REGISTER:
        r.count = 1;
        r.values.push_back(word(frame + 4));
        break;
    case MODBUS_FC_WRITE_MULTIPLE_COILS:
        if (frame[6] != (r.count + 7) / 8 || length != 9 + frame[6])
            return false;
        for (int i = 0; i < r.count; ++i)
            r.values.push_back((frame[7 + i / 8] >> (i % 8)) & 1);
        break;
    case MODBUS_FC_WRITE_MULTIPLE_REGISTERS:
        if (frame[6] != 2 * r.count || length != 9 + frame[6])
            return false;
        for (int i = 0; i < r.count; ++i)
            r.values.push_back(word(frame + 7 + 2 * i));
        break;
    }
    return r.count >= 1 && r.count <= maxCount(r.function);
}

int RequestHandler::ruleException(const Request &r) {
    for (const auto &[reg, code] : m_rules) {
        if (reg < r.start || reg >= r.start + r.count)
            continue;
        const int hit = reg, answered = code;
        const auto count = m_counts.find(hit);
        if (count != m_counts.end() && --count->second <= 0) {
            m_counts.erase(count);
            m_rules.erase(hit);
        }
        return answered;
    }
    return 0;
}

Reply RequestHandler::handle(const uint8_t *frame, int length, int64_t nowMs) {
    Reply reply;
    const bool broadcast = frame[0] == MODBUS_BROADCAST_ADDRESS;
    Request request;
    switch (frame[1]) {
    case MODBUS_FC_READ_COILS:
    case MODBUS_FC_READ_HOLDING_REGISTERS:
    case MODBUS_FC_READ_INPUT_REGISTERS:
    case MODBUS_FC_WRITE_SINGLE_COIL:
    case MODBUS_FC_WRITE_SINGLE_REGISTER:
    case MODBUS_FC_WRITE_MULTIPLE_COILS:
    case MODBUS_FC_WRITE_MULTIPLE_REGISTERS:
        break;
    default:
        if (!broadcast)
            reply.bytes = m_link.replyException(frame, kIllegalFunction);
        return reply;
    }
    if (broadcast && isRead(frame[1]))
        return reply;

    int error = parse(frame, length, request) ? 0 : kIllegalValue;
    if (!error)
        error = ruleException(request);
    if (!error && isRead(request.function))
        error = m_model.checkRead(spaceOf(request.function), request.start, request.count);
    else if (!error)
        error = m_model.checkWrite(spaceOf(request.function), request.start, request.values);
    if (error) {
        if (!broadcast)
            reply.bytes = m_link.replyException(frame, error);
        return reply;
    }

    if (isRead(request.function)) {
        reply.bytes = answerRead(request, nowMs);
    } else {
        reply.bytes = answerWrite(request, nowMs);
        for (size_t i = 0; i < request.values.size(); ++i) {
            if (spaceOf(request.function) == Space::Holding &&
                request.start + int(i) == kRegCommand && request.values[i] == kCommandReboot)
                reply.restart = true;
        }
    }
    return reply;
}

Bytes RequestHandler::answerRead(const Request &r, int64_t nowMs) {
    const Space space = spaceOf(r.function);
    const bool coils = space == Space::Coil, inputs = space == Space::Input;
    const bool holding = space == Space::Holding;
    MappingPtr mapping(modbus_mapping_new_start_address(r.start, coils ? r.count : 0, 0, 0, r.start,
                                                        holding ? r.count : 0, r.start,
                                                        inputs ? r.count : 0),
                       &modbus_mapping_free);
    if (!mapping)
        return m_link.replyException(r.frame, MODBUS_EXCEPTION_SLAVE_OR_SERVER_FAILURE);
    for (int i = 0; i < r.count; ++i) {
        const uint16_t value = m_model.read(space, r.start + i, nowMs);
        if (coils)
            mapping->tab_bits[i] = uint8_t(value);
        else if (inputs)
            mapping->tab_input_registers[i] = value;
        else
            mapping->tab_registers[i] = value;
    }
    return m_link.reply(r.frame, r.length, mapping.get());
}

// The module applies the write; libmodbus only builds the echo, into a scratch mapping.
Bytes RequestHandler::answerWrite(const Request &r, int64_t nowMs) {
    const bool coils = spaceOf(r.function) == Space::Coil;
    for (int i = 0; i < r.count; ++i)
        m_model.write(spaceOf(r.function), r.start + i, r.values[i], nowMs);
    MappingPtr mapping(modbus_mapping_new_start_address(r.start, coils ? r.count : 0, 0, 0, r.start,
                                                        coils ? 0 : r.count, 0, 0),
                       &modbus_mapping_free);
    if (!mapping)
        return m_link.replyException(r.frame, MODBUS_EXCEPTION_SLAVE_OR_SERVER_FAILURE);
    return m_link.reply(r.frame, r.length, mapping.get());
}
