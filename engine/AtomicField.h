#pragma once
// A value that one thread writes and another reads without a lock.
//
// The settings records (MachineConfig, SndConfig) and other records that the GUI thread writes
// while the audio thread reads them hold their scalar fields as AtomicField<T>. It behaves like
// a plain T in expressions and assignments:
//
//   SndConfig.FreqMin = 100.0;                // release store
//   double f = SndConfig.FreqMin;             // acquire load
//   if (SndConfig.StartDigitalFilter & 1) ... // converts to int
//   SndConfig.StartDigitalFilter &= ~1;       // atomic fetch_and (acq_rel)
//
// Every store is a release and every load an acquire, so a field written last publishes every
// field written before it (the generator's ParamsChanged flags, the filter-running mask).
// On x86-64 both compile to plain moves.
//
// Where a template or a varargs call needs the plain type, write `.load()` or a cast:
//   printf("%d", SndConfig.SampleRate.load());  std::max(SndConfig.Average.load(), 1);
//
// Compound assignments on integral fields are atomic read-modify-writes; on floating fields
// they are a load and a store, which is right for the one-writer rule of the settings (only the
// GUI thread writes them).
//
// The records stay copyable: a copy reads each field once and stores it into the destination.
#include <atomic>
#include <type_traits>

template <class T>
class AtomicField {
  static_assert(std::is_trivially_copyable_v<T>, "AtomicField holds plain values only");
  static_assert(std::atomic<T>::is_always_lock_free, "AtomicField must be lock-free");

public:
  using value_type = T;

  constexpr AtomicField() noexcept : m_value(T{}) {}
  constexpr AtomicField(T value) noexcept : m_value(value) {}  // NOLINT: implicit by design
  AtomicField(const AtomicField& other) noexcept : m_value(other.load()) {}
  AtomicField& operator=(const AtomicField& other) noexcept
  {
    store(other.load());
    return *this;
  }
  AtomicField& operator=(T value) noexcept
  {
    store(value);
    return *this;
  }

  operator T() const noexcept { return load(); }  // NOLINT: implicit by design

  T load(std::memory_order order = std::memory_order_acquire) const noexcept
  {
    return m_value.load(order);
  }
  void store(T value, std::memory_order order = std::memory_order_release) noexcept
  {
    m_value.store(value, order);
  }
  T exchange(T value, std::memory_order order = std::memory_order_acq_rel) noexcept
  {
    return m_value.exchange(value, order);
  }

  // Integral fields: atomic read-modify-write.
  T operator++() noexcept requires(std::is_integral_v<T> && !std::is_same_v<T, bool>)
  {
    return m_value.fetch_add(1, std::memory_order_acq_rel) + 1;
  }
  T operator++(int) noexcept requires(std::is_integral_v<T> && !std::is_same_v<T, bool>)
  {
    return m_value.fetch_add(1, std::memory_order_acq_rel);
  }
  T operator--() noexcept requires(std::is_integral_v<T> && !std::is_same_v<T, bool>)
  {
    return m_value.fetch_sub(1, std::memory_order_acq_rel) - 1;
  }
  T operator--(int) noexcept requires(std::is_integral_v<T> && !std::is_same_v<T, bool>)
  {
    return m_value.fetch_sub(1, std::memory_order_acq_rel);
  }
  T operator+=(T v) noexcept requires(std::is_integral_v<T> && !std::is_same_v<T, bool>)
  {
    return m_value.fetch_add(v, std::memory_order_acq_rel) + v;
  }
  T operator-=(T v) noexcept requires(std::is_integral_v<T> && !std::is_same_v<T, bool>)
  {
    return m_value.fetch_sub(v, std::memory_order_acq_rel) - v;
  }
  T operator|=(T v) noexcept requires(std::is_integral_v<T> && !std::is_same_v<T, bool>)
  {
    return m_value.fetch_or(v, std::memory_order_acq_rel) | v;
  }
  T operator&=(T v) noexcept requires(std::is_integral_v<T> && !std::is_same_v<T, bool>)
  {
    return m_value.fetch_and(v, std::memory_order_acq_rel) & v;
  }
  T operator^=(T v) noexcept requires(std::is_integral_v<T> && !std::is_same_v<T, bool>)
  {
    return m_value.fetch_xor(v, std::memory_order_acq_rel) ^ v;
  }

  // Floating fields: load and store (one writer).
  T operator+=(T v) noexcept requires std::is_floating_point_v<T>
  {
    T r = load() + v;
    store(r);
    return r;
  }
  T operator-=(T v) noexcept requires std::is_floating_point_v<T>
  {
    T r = load() - v;
    store(r);
    return r;
  }
  T operator*=(T v) noexcept requires std::is_floating_point_v<T>
  {
    T r = load() * v;
    store(r);
    return r;
  }
  T operator/=(T v) noexcept requires std::is_floating_point_v<T>
  {
    T r = load() / v;
    store(r);
    return r;
  }

private:
  std::atomic<T> m_value;
};

// The value representation is the plain value's: a record of AtomicFields zero-filled with
// memset holds 0 (false, 0.0) in every field.
static_assert(sizeof(AtomicField<int>) == sizeof(int));
static_assert(sizeof(AtomicField<double>) == sizeof(double));
static_assert(sizeof(AtomicField<bool>) == 1);
