// The client socket and the message queues both TCP channels are built on.
#include <arpa/inet.h>
#include <endian.h>
#include <ifaddrs.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cctype>
#include <cerrno>
#include <cstring>

#include "Utils/TcpFraming.h"
#include "kve/kve_tcp.h"

namespace kve::tcp {

namespace {

constexpr size_t kSendChunk = 1024;

bool startsWithDigit(const char *text)
{
    return text != nullptr && std::isdigit(static_cast<unsigned char>(text[0])) != 0;
}

} // namespace

ClientSocket::~ClientSocket()
{
    closeClient();
}

hostent *ClientSocket::TranslateAddress(const char *host)
{
    if (host == nullptr || host[0] == '\0' || startsWithDigit(host))
        return nullptr;
    // The lookup's own storage is shared by every thread: each thread resolves into storage of its own.
    thread_local hostent entry;
    thread_local std::vector<char> scratch(2048);
    for (;;) {
        hostent *result = nullptr;
        int error = 0;
        const int status = ::gethostbyname_r(host, &entry, scratch.data(), scratch.size(), &result, &error);
        if (status == ERANGE && scratch.size() < 65536) {
            scratch.resize(scratch.size() * 2);
            continue;
        }
        if (status != 0 || result == nullptr || result->h_addrtype != AF_INET ||
            result->h_length != static_cast<int>(sizeof(in_addr)) || result->h_addr_list[0] == nullptr)
            return nullptr;
        return result;
    }
}

void ClientSocket::SetHostEnt(const char *host, int32_t port)
{
    std::lock_guard<std::recursive_mutex> guard(m_clientLock);
    const uint16_t networkPort = htons(static_cast<uint16_t>(port));
    const char *text = host != nullptr ? host : "";
    // The host text counts as well as the port: another host on the same port is another destination.
    if (networkPort == m_port && m_hostText == text)
        return;
    KillSocket();
    m_port = networkPort;
    m_hostText = text;
    if (const hostent *entry = TranslateAddress(host)) {
        std::memcpy(&m_hostAddress, entry->h_addr_list[0], sizeof m_hostAddress);
        m_hasHost = true;
    }
}

int32_t ClientSocket::MakeSocket()
{
    std::lock_guard<std::recursive_mutex> guard(m_clientLock);
    if (m_clientSocket >= 0)
        return 0;
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    if (socket < 0)
        return -1;
    const int one = 1;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    m_clientSocket = socket;
    return 0;
}

int32_t ClientSocket::ConnectSocket(uint32_t address)
{
    std::lock_guard<std::recursive_mutex> guard(m_clientLock);
    if (m_clientSocket < 0)
        return -1;
    if (m_connected)
        return 0;
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = m_port;
    if (address != 0) {
        target.sin_addr.s_addr = address;
    } else if (m_hasHost) {
        target.sin_addr = m_hostAddress;
    } else {
        closeClient();
        return -1;
    }
    if (::connect(m_clientSocket, reinterpret_cast<const sockaddr *>(&target), sizeof target) != 0) {
        closeClient();
        return -1;
    }
    m_connected = true;
    return 0;
}

void ClientSocket::KillSocket()
{
    std::lock_guard<std::recursive_mutex> guard(m_clientLock);
    closeClient();
    m_port = 0;
    m_hasHost = false;
    m_hostAddress = in_addr{};
    m_hostText.clear();
}

int32_t ClientSocket::SendString(int socket, const char *text)
{
    if (text == nullptr || text[0] == '\0')
        return 0;
    std::string line(text);
    if (line.back() != '\n')
        line += '\n';
    for (size_t sent = 0; sent < line.size();) {
        const ssize_t result =
            ::send(socket, line.data() + sent, std::min(kSendChunk, line.size() - sent), MSG_NOSIGNAL);
        if (result <= 0)
            return static_cast<int32_t>(result);
        sent += static_cast<size_t>(result);
    }
    return 0;
}

std::string ClientSocket::GetIPAddress(int32_t index)
{
    ifaddrs *list = nullptr;
    if (::getifaddrs(&list) != 0)
        return {};
    std::vector<std::string> found;
    for (const ifaddrs *entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET)
            continue;
        char text[INET_ADDRSTRLEN];
        const auto *address = reinterpret_cast<const sockaddr_in *>(entry->ifa_addr);
        if (::inet_ntop(AF_INET, &address->sin_addr, text, sizeof text) != nullptr &&
            std::strcmp(text, "127.0.0.1") != 0)
            found.emplace_back(text);
    }
    ::freeifaddrs(list);
    if (found.empty())
        return {};
    return index >= 0 && static_cast<size_t>(index) < found.size() ? found[static_cast<size_t>(index)] : found[0];
}

void ClientSocket::closeClient()
{
    std::lock_guard<std::recursive_mutex> guard(m_clientLock);
    closeSocket(m_clientSocket);
    m_connected = false;
}

int32_t ClientSocket::connectTo(const char *host, int32_t port)
{
    std::lock_guard<std::recursive_mutex> guard(m_clientLock);
    SetHostEnt(host, port);
    uint32_t address = 0;
    if (!m_hasHost) {
        // Only a whole dotted quad is an address; 0.0.0.0 names no host to send to.
        in_addr parsed{};
        if (!startsWithDigit(host) || ::inet_pton(AF_INET, host, &parsed) != 1 || parsed.s_addr == 0)
            return -1;
        address = parsed.s_addr;
    }
    if (MakeSocket() != 0)
        return -2;
    return ConnectSocket(address);
}

std::string MessageQueues::GetMessage()
{
    std::lock_guard<std::recursive_mutex> lock(m_queueLock);
    if (m_messages.empty())
        return {};
    std::string message = std::move(m_messages.front());
    m_messages.pop_front();
    return message;
}

uint64_t MessageQueues::GetMessageCount()
{
    std::lock_guard<std::recursive_mutex> lock(m_queueLock);
    return m_messages.size();
}

int32_t MessageQueues::GetBinaryMessage(std::string &message, const char *&data, uint32_t &length)
{
    std::lock_guard<std::recursive_mutex> lock(m_queueLock);
    if (m_messages.empty())
        return -1;
    message = std::move(m_messages.front());
    m_messages.pop_front();
    data = message.data();
    const auto *bytes = reinterpret_cast<const uint8_t *>(message.data());
    // A text shorter than a header has no header words to read.
    if (message.size() < kTcpHeaderBytes)
        return 0;
    uint32_t words[2];
    std::memcpy(words, bytes, sizeof words);
    if (le32toh(words[0]) != kTcpMessageMagic)
        return 0;
    length = le32toh(words[1]);
    return 1;
}

SReceiveMessage &MessageQueues::BinaryGetMessage()
{
    std::lock_guard<std::recursive_mutex> lock(m_queueLock);
    if (m_binaryQueue.empty()) {
        m_current.bytes = {};
    } else {
        m_current.bytes = std::move(m_binaryQueue.front()->bytes);
        m_binaryQueue.pop_front();
    }
    return m_current;
}

uint64_t MessageQueues::GetBinaryMessageCount()
{
    std::lock_guard<std::recursive_mutex> lock(m_queueLock);
    return m_binaryQueue.size();
}

bool MessageQueues::queueNext(int socket, uint8_t *buffer, size_t capacity, uint64_t &pending)
{
    std::string message = readMessage(socket, ReceiveBuffer{buffer, capacity, pending});
    if (message.empty()) {
        tellDisconnect();
        return false;
    }
    uint64_t queued;
    {
        std::lock_guard<std::recursive_mutex> lock(m_queueLock);
        m_messages.push_back(std::move(message));
        queued = m_messages.size();
    }
    if (MessageCallback != nullptr)
        MessageCallback(MessageContext, queued);
    return true;
}

void MessageQueues::queueRaw(const uint8_t *bytes, size_t count, bool tell)
{
    auto record = std::make_unique<SReceiveMessage>();
    record->bytes.assign(bytes, bytes + count);
    uint64_t queued;
    {
        std::lock_guard<std::recursive_mutex> lock(m_queueLock);
        m_binaryQueue.push_back(std::move(record));
        queued = m_binaryQueue.size();
    }
    if (tell && MessageCallback != nullptr)
        MessageCallback(MessageContext, queued);
}

void MessageQueues::tellDisconnect()
{
    if (DisconnectCallback != nullptr)
        DisconnectCallback(DisconnectContext);
}

} // namespace kve::tcp
