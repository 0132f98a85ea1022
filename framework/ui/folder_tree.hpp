#pragma once
// A tree view of the shell's folders (shell_folders.hpp): a node for each
// item, its folders read when it is first expanded, one node selected, keys,
// the mouse and a vertical scroll bar.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/ui/controls.hpp"
#include "framework/ui/shell_folders.hpp"

namespace ui {

class TFolderTree : public TCustomControl {
public:
    struct Node {
        ItemIdList item;
        Node* parent = nullptr;
        std::vector<std::unique_ptr<Node>> children;
        int level = 0;
        bool expanded = false;
        bool loaded = false;  // its folders were read (until then it may have some)
    };

    explicit TFolderTree(TComponent* owner);
    ~TFolderTree() override;
    std::string ClassName() const override { return "TFolderTree"; }

    // Shows the tree below `root` (none: the desktop), the root expanded and selected.
    void SetRoot(const std::optional<ItemIdList>& root);
    const Node* Root() const { return root_.get(); }
    const Node* Selected() const { return selected_; }
    void Select(Node* node);
    // Expands the tree down to the folder (a host path) and selects it; false
    // when the folder is not below the root.
    bool SelectPath(const std::string& host_path);
    // Reads the node's folders when it has not yet and shows them; false when
    // they could not be read (OnProblem was told why).
    bool Expand(Node* node);
    void Collapse(Node* node);
    // The rows shown, top first, and the height of one.
    const std::vector<Node*>& Rows() const { return rows_; }
    int RowHeight() const;
    int TopRow() const { return top_; }
    TRect RowRect(int row) const;
    int RowAt(TPoint client) const;  // -1 below the last row
    // Where a row's expand box lies (empty for a node known to have no folders).
    TRect ExpanderRect(int row) const;
    // Takes a node out of the tree (its folder is gone); its parent is
    // selected when the selection was inside it.
    void RemoveNode(Node* node);

    TNotifyEvent OnChange;  // the selection moved
    // A folder could not be read or is gone: the message to show.
    std::function<void(const std::string& message)> OnProblem;

    void WndProc(TMessage& m) override;

protected:
    void CreateParams(ui::CreateParams& p) override;
    void Paint() override;
    void KeyDown(UINT& key, TShiftState s) override;
    void KeyPress(char& key) override;
    void MouseDown(TMouseButton b, TShiftState s, int x, int y) override;

private:
    void Rebuild();  // the rows from the expanded nodes
    void ScrollTo(int top);
    void ShowRow(int row);
    int RowOf(const Node* node) const;
    int VisibleRows() const;
    void UpdateScrollBar();

    std::unique_ptr<Node> root_;
    Node* selected_ = nullptr;
    std::vector<Node*> rows_;
    int top_ = 0;
};

}  // namespace ui
