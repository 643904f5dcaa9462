// Typed key/value list carrying module, filter and stream parameters, with
// its text form (the parameter text).
#pragma once

#include <cstdint>

// Opaque handle naming one entry of a CParamList; null means no more entries.
struct ParamPositionTag;
using POSITION = ParamPositionTag*;

// Entry type codes.
enum : int32_t {
  PARAM_TYPE_NONE = 0,
  PARAM_TYPE_INT = 1,
  PARAM_TYPE_DOUBLE = 2,
  PARAM_TYPE_STRING = 3,
  PARAM_TYPE_WSTRING = 4,
  PARAM_TYPE_PTR = 5,  // in-process address: set by code only, never read from a text
};

// Keys are compared without regard to ASCII case; entries keep insertion order.
// Not thread-safe: an owner sharing a list between threads guards it itself.
//
// The virtual operations form a fixed table that modules and plug-ins call
// through: keep their order; new operations go at the end only.
class CParamList final {
 public:
  CParamList();
  ~CParamList();  // not virtual: it must not take a table slot
  CParamList(const CParamList&) = delete;
  CParamList& operator=(const CParamList&) = delete;

  virtual void SetInt(const char* key, int32_t value);              // 0
  virtual void SetDouble(const char* key, double value);            // 1
  virtual void SetString(const char* key, const char* value);       // 2
  virtual void SetWString(const char* key, const char16_t* value);  // 3
  virtual int32_t GetInt(const char* key, int32_t def);             // 4
  virtual double GetDouble(const char* key, double def);            // 5
  // Copies the text into buf (capacity in bytes); returns the characters copied.
  virtual int32_t GetString(const char* key, char* buf, int32_t capacity,
                            const char* def);  // 6
  // The same in UTF-16 code units.
  virtual int32_t GetWString(const char* key, char16_t* buf, int32_t capacity,
                             const char16_t* def);  // 7
  // The stored text, or an empty text; valid until the entry changes.
  virtual const char* GetStringPtr(const char* key);  // 8
  virtual int32_t GetType(const char* key);           // 9
  virtual POSITION GetHeadPosition();                 // 10
  // Copies the key when it fits (returns its length, stores the type);
  // otherwise copies nothing and returns the capacity needed.
  virtual int32_t GetAt(POSITION pos, char* keyBuf, int32_t capacity,
                        int32_t* type);      // 11
  virtual POSITION GetNext(POSITION pos);    // 12
  virtual void ParseText(const char* text);  // 13
  // A new text of all entries; release it with FreeText.
  virtual char* ToText();                             // 14
  virtual void FreeText(char* text);                  // 15
  virtual void Clear();                               // 16
  virtual void Dump();                                // 17
  virtual void Remove(const char* key);               // 18
  virtual POSITION Find(const char* key);             // 19
  virtual void SetPtr(const char* key, void* value);  // 20
  virtual void* GetPtr(const char* key, void* def);   // 21

  int32_t GetCount() const { return count_; }

  // Replaces the contents with copies of other's entries, pointers included:
  // the in-process copy that the text form cannot be.
  void CopyFrom(const CParamList& other);

 private:
  struct Entry;
  struct Node;

  Node* FindNode(const char* key) const;
  Entry* PrepareEntry(const char* key);  // existing (value freed) or appended
  void FreeNode(Node* node);

  Node* head_ = nullptr;
  Node* tail_ = nullptr;
  int32_t count_ = 0;
};
