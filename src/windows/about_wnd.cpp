#include "windows/about_wnd.h"

CAboutWnd::CAboutWnd() : CPageDialogWnd(RECT{0, 0, 200, 200}) {
    m_pDispatch->RegisterHandler(&m_closeWnd);
    m_pDispatch->RegisterHandler(&m_getAppVersion);
}
