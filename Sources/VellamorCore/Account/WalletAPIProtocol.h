#pragma once

#include "Account/WalletInfo.h"

#include <QCoro/QCoroTask>

namespace vellamor {

class WalletAPIProtocol {
public:
    virtual ~WalletAPIProtocol() = default;
    virtual QCoro::Task<WalletInfo> fetchWallet() = 0;
};

} // namespace vellamor
