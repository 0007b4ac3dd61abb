// The channel through the HTTP gateway (see TransferChannel for what each call sends).
#include "transfer/transfer_channel.h"

#include "transfer/partial_file.h"

#include "platform/common/local_file_error.h"
#include "platform/http/id_http.h"

#include <fstream>
#include <optional>

namespace Cli_Vop31601 {
namespace {

// Runs one request, its failure told as a TransferError.
template <typename Call>
auto told(Call call) -> decltype(call())
{
    try {
        return call();
    } catch (const Platform::LocalFileError&) {
        throw;
    } catch (const Platform::HttpRangeIgnored&) {
        throw;
    } catch (const Platform::HttpCancelled& error) {
        throw TransferError(TransferError::Kind::Cancelled, error.what());
    } catch (const Platform::HttpError& error) {
        // A reply with a status came over a working connection; anything else did not.
        throw TransferError(error.StatusCode() == 404 ? TransferError::Kind::NotFound : TransferError::Kind::Refused,
                            error.what(), error.StatusCode());
    } catch (const std::exception& error) {
        throw TransferError(TransferError::Kind::ConnectionLost, error.what());
    }
}

class GatewayChannel final : public TransferChannel {
public:
    GatewayChannel(GatewaySide side, Platform::GatewaySettings settings, std::string directory)
        : client_(side.client), handlers_(std::move(side.handlers)), stopRequested_(std::move(side.stopRequested)),
          settings_(std::move(settings)), directory_(std::move(directory))
    {
    }

    void open() override
    {
        gateway_.reset();
        client_ = std::make_unique<Platform::TIdHTTP>();
        client_->OnWorkBegin = handlers_.begin;
        client_->OnWork = handlers_.work;
        client_->OnWorkEnd = handlers_.end;
        client_->StopRequested = stopRequested_;
        gateway_.emplace(*client_, settings_);
    }

    void enter(const std::string& directory) override
    {
        directory_ = told([&] { return gateway_->changeDir(directory, directory); });
    }

    std::vector<std::string> list() override
    {
        return told([&] { return gateway_->list(directory_); });
    }

    void makeDir(const std::string& name) override { told([&] { gateway_->makeDir(directory_, name); }); }

    std::int64_t size(const std::string& /*name*/) override { return -1; }

    void download(const std::string& name, PartialFile& partial, std::int64_t /*size*/, std::int64_t offset) override
    {
        // The rest only of the same file: If-Range carries the Last-Modified of the reply that began
        // it, and a gateway that sends the whole file instead gets it written from the start.
        if (offset > 0 && !lastModified_.empty()) {
            std::ofstream out = partial.resume(offset);
            try {
                told([&] { gateway_->downloadFrom(directory_, name, out, offset, lastModified_); });
                partial.finish(out);
                return;
            } catch (const Platform::HttpRangeIgnored&) {
            }
        }
        std::ofstream out = partial.create();
        struct Keep {
            GatewayChannel& self;
            ~Keep() { self.lastModified_ = self.gateway_ ? self.gateway_->lastModified() : std::string(); }
        } keep{*this};
        told([&] { gateway_->download(directory_, name, out); });
        partial.finish(out);
    }

    void upload(const std::string& localPath, const std::string& name, std::int64_t /*offset*/) override
    {
        // The gateway stores a file only once it is complete, so a failed POST leaves nothing to
        // remove (and the server's older copy stays). Only one cancelled after its request went out
        // may be there.
        requestSent_ = false;
        told([&] {
            try {
                gateway_->upload(directory_, name, localPath);
            } catch (const Platform::HttpCancelled& cancelled) {
                // Abandoned while the reply was awaited, the file may well have been stored.
                requestSent_ = cancelled.RequestSent();
                throw;
            }
        });
        requestSent_ = true;
    }

    bool uploadMayRemain() const override { return requestSent_; }

    void remove(const std::string& name) override
    {
        // The abort that stopped the transfer must not stop its clean-up.
        client_->StopRequested = nullptr;
        told([&] { gateway_->remove(directory_, name, false); });
    }

    void close() noexcept override
    {
        gateway_.reset();
        client_.reset();
    }

private:
    std::unique_ptr<Platform::TIdHTTP>& client_;
    WorkHandlers handlers_;
    std::function<bool()> stopRequested_;
    const Platform::GatewaySettings settings_;
    std::string directory_;
    std::optional<Platform::GatewayClient> gateway_;  // over the open client
    bool requestSent_ = false;                        // the last upload's request went out whole
    std::string lastModified_;                        // of the last download begun from the start
};

} // namespace

std::unique_ptr<TransferChannel> makeGatewayChannel(GatewaySide side, Platform::GatewaySettings settings,
                                                    std::string directory)
{
    return std::make_unique<GatewayChannel>(std::move(side), std::move(settings), std::move(directory));
}

} // namespace Cli_Vop31601
