#include "tree/valuenode.h"

#include "common/ctstring.h"
#include "model/dataelt.h"
#include "tree/nodetext.h"

template <typename T>
CValueNode<T>::CValueNode(const char* typeName, CDIBitmap* bitmap, uint32_t elementType, const T& initial)
    : m_value(initial), m_pBitmap(bitmap), m_pszType(typeName), m_nElementType(elementType) {
  if (m_pBitmap) {
    SetIconSize(m_pBitmap->Width(), m_pBitmap->Height());
    SetSize(m_pBitmap->Width(), m_pBitmap->Height());
  }
}

template <typename T>
int CValueNode<T>::DrawNode(int x, int y, CDC* dc, float scale) {
  if (!m_pBitmap) return 0;
  SetWidth(DrawIconAndText(dc, m_pBitmap, x, y, GetIconWidth(), GetIconHeight(), DisplayText(), scale));
  return DrawSelectionBar(x, y, dc, scale);
}

template <typename T>
int CValueNode<T>::PutDE(const QV_DataElement& element, MultiAdminSession*, const QV_String&) {
  if (element.Type() != m_nElementType) return 0;
  LoadValue(element);
  return 1;
}

// The value types the tree's nodes hold.
template class CValueNode<long>;
template class CValueNode<unsigned long>;
template class CValueNode<float>;
template class CValueNode<QV_String>;
template class CValueNode<CValueRange<long>>;
template class CValueNode<CValueRange<float>>;
