#pragma once
// Root of the image class family: every bitmap, data source, sink, decoder and encoder
// derives from it. It holds nothing; it gives the family one virtual destructor.

class CPLObject {
public:
  CPLObject() = default;
  virtual ~CPLObject() = default;
  CPLObject(const CPLObject&) = default;
  CPLObject& operator=(const CPLObject&) = default;
  // An empty operation that no class overrides and nobody calls.
  virtual void NoOp() {}
};
