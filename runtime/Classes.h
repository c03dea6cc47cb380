// Component ownership and free notifications: the portable root of the class
// library. Owners free what they own in reverse order of creation; a component
// that refers to another one asks to be told when that one goes away.
#pragma once

#include <functional>
#include <string>
#include <vector>

class TObject {
 public:
  virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

enum class TOperation { opInsert, opRemove };

class TComponent : public TObject {
 public:
  explicit TComponent(TComponent* AOwner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return owner_; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const { return components_.at(index); }

  // Asks AComponent to call this->Notification(AComponent, opRemove) when it
  // is destroyed, so references to it can be cleared.
  void FreeNotification(TComponent* AComponent);
  void RemoveFreeNotification(TComponent* AComponent);

  std::wstring Name;
  int Tag = 0;

 protected:
  virtual void Notification(TComponent* AComponent, TOperation Operation);
  // Frees the owned components, last created first.
  void DestroyComponents();

 private:
  void InsertComponent(TComponent* AComponent);
  void RemoveComponent(TComponent* AComponent);

  TComponent* owner_ = nullptr;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> freeNotifies_;
};
