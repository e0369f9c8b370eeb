#include "platform/ComPortProtocol.h"

namespace tornyx::platform {

using namespace telnet;

bool ComPortProtocol::weSupport(unsigned char option) {
    return option == Binary || option == SuppressGoAhead || option == ComPort;
}

bool ComPortProtocol::theySupport(unsigned char option) {
    return option == Binary || option == SuppressGoAhead;
}

void ComPortProtocol::sendVerb(unsigned char verb, unsigned char option) {
    m_out.append(char(Iac));
    m_out.append(char(verb));
    m_out.append(char(option));
}

void ComPortProtocol::start() {
    for (unsigned char o : {Binary, SuppressGoAhead, ComPort}) {
        m_us[o] = Option::WantYes;
        sendVerb(Will, o);
    }
    for (unsigned char o : {Binary, SuppressGoAhead}) {
        m_them[o] = Option::WantYes;
        sendVerb(Do, o);
    }
}

ComPortProtocol::Negotiation ComPortProtocol::negotiation() const {
    if (m_us[ComPort] == Option::No || m_us[Binary] == Option::No || m_them[Binary] == Option::No)
        return Negotiation::Refused;
    if (m_us[ComPort] == Option::Yes && m_us[Binary] == Option::Yes && m_them[Binary] == Option::Yes)
        return Negotiation::Done;
    return Negotiation::Pending;
}

// Answers only what changes a state, so two peers cannot loop on
// acknowledgements (RFC 1143).
void ComPortProtocol::negotiate(unsigned char verb, unsigned char option) {
    switch (verb) {
    case Do:
        if (!weSupport(option))
            sendVerb(Wont, option);
        else if (m_us[option] == Option::No)
            sendVerb(Will, option);
        if (weSupport(option))
            m_us[option] = Option::Yes;
        break;
    case Dont:
        if (m_us[option] == Option::Yes)
            sendVerb(Wont, option);
        m_us[option] = Option::No;
        break;
    case Will:
        if (!theySupport(option))
            sendVerb(Dont, option);
        else if (m_them[option] == Option::No)
            sendVerb(Do, option);
        if (theySupport(option))
            m_them[option] = Option::Yes;
        break;
    case Wont:
        if (m_them[option] == Option::Yes)
            sendVerb(Dont, option);
        m_them[option] = Option::No;
        break;
    default:
        break;
    }
}

void ComPortProtocol::subnegotiation() {
    if (m_sub.size() < 2 || static_cast<unsigned char>(m_sub[0]) != ComPort)
        return;
    const unsigned char command = static_cast<unsigned char>(m_sub[1]);
    const QByteArray value = m_sub.mid(2);
    if (command < comport::ServerOffset)
        return; // a server's request to the client; nothing we serve
    const unsigned char c = command - comport::ServerOffset;
    switch (c) {
    case comport::NotifyModemState:
        if (!value.isEmpty())
            m_modemState = static_cast<unsigned char>(value[0]);
        break;
    case comport::FlowControlSuspend:
        m_suspended = true;
        break;
    case comport::FlowControlResume:
        m_suspended = false;
        break;
    default:
        if (c < m_answers.size())
            m_answers[c] = value;
        break;
    }
}

void ComPortProtocol::receive(const char* bytes, std::size_t n, QByteArray& data) {
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        switch (m_state) {
        case State::Data:
            if (b == Iac)
                m_state = State::Iac;
            else
                data.append(char(b));
            break;
        case State::Iac:
            if (b == Iac) {
                data.append(char(b));
                m_state = State::Data;
            } else if (b >= Will && b <= Dont) {
                m_verb = b;
                m_state = State::Verb;
            } else if (b == Sb) {
                m_sub.clear();
                m_state = State::Sub;
            } else {
                m_state = State::Data; // NOP, GA, DM, AYT ...: nothing for a serial line
            }
            break;
        case State::Verb:
            negotiate(m_verb, b);
            m_state = State::Data;
            break;
        case State::Sub:
            if (b == Iac)
                m_state = State::SubIac;
            else
                m_sub.append(char(b));
            break;
        case State::SubIac:
            if (b == Iac) {
                m_sub.append(char(b));
                m_state = State::Sub;
            } else {
                // SE ends it; anything else is a broken subnegotiation,
                // which ends it as well.
                if (b == Se)
                    subnegotiation();
                m_state = State::Data;
            }
            break;
        }
    }
}

void ComPortProtocol::sendData(unsigned char b) {
    if (b == Iac)
        m_out.append(char(Iac));
    m_out.append(char(b));
}

void ComPortProtocol::sendCommand(unsigned char command, const QByteArray& value) {
    m_out.append(char(Iac));
    m_out.append(char(Sb));
    m_out.append(char(ComPort));
    m_out.append(char(command));
    for (char v : value) {
        if (static_cast<unsigned char>(v) == Iac)
            m_out.append(char(Iac));
        m_out.append(v);
    }
    m_out.append(char(Iac));
    m_out.append(char(Se));
}

QByteArray ComPortProtocol::baudValue(std::uint32_t baud) {
    QByteArray v(4, '\0');
    v[0] = char((baud >> 24) & 0xFF);
    v[1] = char((baud >> 16) & 0xFF);
    v[2] = char((baud >> 8) & 0xFF);
    v[3] = char(baud & 0xFF);
    return v;
}

std::optional<QByteArray> ComPortProtocol::answer(unsigned char command) const {
    return command < m_answers.size() ? m_answers[command] : std::nullopt;
}

void ComPortProtocol::forgetAnswer(unsigned char command) {
    if (command < m_answers.size())
        m_answers[command].reset();
}

} // namespace tornyx::platform
