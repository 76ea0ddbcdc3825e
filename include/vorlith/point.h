#pragma once
// Point and segment value types. Components are float, double or int32.

#include <vorlith/dummy.h>

namespace vorlith::common {

/// A 2-D point {x, y}. A point is a dummy point when any component is the
/// component type's dummy.
template <class T>
struct Point_2d {
  T x;
  T y;

  bool is_dummy() const { return x == dummy_value<T> || y == dummy_value<T>; }
  static constexpr Point_2d dummy() { return {dummy_value<T>, dummy_value<T>}; }

  /// Dummy-aware: two dummy points are equal whatever their other components;
  /// otherwise every component must compare equal (NaN equals nothing).
  friend bool operator==(const Point_2d& a, const Point_2d& b) {
    const bool da = a.is_dummy(), db = b.is_dummy();
    if (da || db) return da && db;
    return a.x == b.x && a.y == b.y;
  }
};

/// A 3-D point {x, y, z}, with the same dummy and equality rules as Point_2d.
template <class T>
struct Point_3d {
  T x;
  T y;
  T z;

  bool is_dummy() const {
    return x == dummy_value<T> || y == dummy_value<T> || z == dummy_value<T>;
  }
  static constexpr Point_3d dummy() { return {dummy_value<T>, dummy_value<T>, dummy_value<T>}; }

  friend bool operator==(const Point_3d& a, const Point_3d& b) {
    const bool da = a.is_dummy(), db = b.is_dummy();
    if (da || db) return da && db;
    return a.x == b.x && a.y == b.y && a.z == b.z;
  }
};

/// A line segment: the first point, then the second.
template <class T>
struct Segment_2d {
  Point_2d<T> first;
  Point_2d<T> second;
};

}  // namespace vorlith::common
