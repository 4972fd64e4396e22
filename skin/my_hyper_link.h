// The main window's "Have Problems?" link: its tooltip shows the support page
// but a click always opens the product page, and it never turns visited.
#pragma once

#include "platform/product_identity.h"
#include "skin/hyper_link.h"

namespace skin {

// The product page a click opens.
inline constexpr const char* kProductPageUrl = fennaro::kHomePageUrl;
// The support page shown as the link's target.
inline constexpr const char* kSupportPageUrl = fennaro::kSupportPageUrl;

class CMyHyperLink : public CHyperLink {
    Q_OBJECT
  public:
    // Builds the link with the support page as its target.
    explicit CMyHyperLink(QWidget* parent = nullptr);

  protected:
    // Opens the product page whatever the target.
    void OnClick() override;
};

} // namespace skin
