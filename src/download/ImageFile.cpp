// The image every transfer reads its pages from.
#include "session/Session.h"

namespace iap {

void Session::LoadImage(const ImageSnapshot& image)
{
    Image = image;
    LastPageIndex = image.lastPageIndex();
}

void Session::ReadPage()
{
    PageBuffer = Image.page(PageIndex);
}

}  // namespace iap
