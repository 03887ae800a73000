#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "SampleLooks.h"
#include "grading/GradingSession.h"

namespace {

// A session whose controls took two steps (Gain 130, then Red 60); it
// records what it announces while restoring a look.
struct SessionHistoryTest : ::testing::Test {
    TGradingSession session;
    std::vector<TLook> restored;
    std::vector<bool> quietWhileRestored;
    int changes = 0;

    void SetUp() override {
        QObject::connect(&session, &TGradingSession::LookRestored, [this](const TLook& look) {
            restored.push_back(look);
            quietWhileRestored.push_back(session.Quiet());
        });
        QObject::connect(&session, &TGradingSession::LookChanged, [this] { ++changes; });
        session.SetPosition(&TLookPositions::Gain, 130);
        session.RecordLook();
        session.SetPosition(&TLookPositions::Red, 60);
        session.RecordLook();
        changes = 0;
    }
};

// Undo and Redo are the session's commands: the look steps back and forth,
// is announced while quiet (the views put their controls in place), then
// changes once (one regrade).
TEST_F(SessionHistoryTest, UndoAndRedoRestoreTheLookAndAnnounceIt) {
    ASSERT_TRUE(session.CanUndo());
    session.Undo();
    EXPECT_EQ(session.Positions().Gain, 130);
    EXPECT_EQ(session.Positions().Red, kTrackBarDefault);
    ASSERT_EQ(restored.size(), 1u);
    EXPECT_EQ(restored[0].Positions.Red, kTrackBarDefault);
    EXPECT_TRUE(quietWhileRestored[0]);
    EXPECT_FALSE(session.Quiet());
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(session.CanRedo());

    session.Redo();
    EXPECT_EQ(session.Positions().Red, 60);
    EXPECT_EQ(restored.size(), 2u);
    EXPECT_FALSE(session.CanRedo());
}

// A snapshot keeps the look; recalling it is one step that Undo takes back.
TEST_F(SessionHistoryTest, ASnapshotRecalledIsOneStepOfTheHistory) {
    int stored = 0;
    QObject::connect(&session, &TGradingSession::HistoryChanged, [&] { ++stored; });
    session.StoreSnapshot(2);
    EXPECT_GE(stored, 1);
    ASSERT_TRUE(session.Snapshots().Has(2));
    session.SetPosition(&TLookPositions::Blue, 170);
    session.SetReference("warm.jpg");

    session.RecallSnapshot(2);
    EXPECT_EQ(session.Positions().Blue, kTrackBarDefault);
    EXPECT_TRUE(session.Reference().isEmpty());
    EXPECT_EQ(session.SnapshotLooks()[2]->Positions.Red, 60);
    EXPECT_FALSE(session.SnapshotLooks()[0].has_value());
    session.Undo();
    EXPECT_EQ(session.Positions().Blue, 170);
    EXPECT_EQ(session.Reference(), "warm.jpg");
    // An empty slot recalls nothing.
    const int steps = session.History().UndoCount();
    session.RecallSnapshot(0);
    EXPECT_EQ(session.Positions().Blue, 170);
    EXPECT_EQ(session.History().UndoCount(), steps);
}

// A document's looks take the place of the ones held as one step; its
// snapshots replace all four.
TEST_F(SessionHistoryTest, ADocumentsLooksAreOneStep) {
    session.StoreSnapshot(0);
    TLook look = session.CurrentLook();
    look.Positions.Saturation = 140;
    TSnapshotLooks snapshots;
    snapshots[1] = look;
    session.RestoreDocument(look, snapshots);
    EXPECT_EQ(session.Positions().Saturation, 140);
    EXPECT_FALSE(session.Snapshots().Has(0));
    EXPECT_TRUE(session.Snapshots().Has(1));
    session.Undo();
    EXPECT_EQ(session.Positions().Saturation, kTrackBarDefault);
    EXPECT_EQ(session.Positions().Red, 60);
}

// Undoing a step that deleted the chosen reference's file brings the file
// back first; when that fails the history and the look stay as they were.
// Redo deletes it again.
TEST_F(SessionHistoryTest, UndoOfADeletionBringsTheFileBackFirst) {
    session.SetReference("warm.jpg");
    session.RecordLook();
    session.SetReference("");
    session.RecordDeletion("warm.jpg");
    std::vector<QString> events;
    QObject::connect(&session, &TGradingSession::LookRestored,
                     [&](const TLook& look) { events.push_back("look " + look.Reference); });
    bool fail = true;
    auto connection = QObject::connect(&session, &TGradingSession::DeletionUndone, [&](const QString& file) {
        if (fail) throw std::runtime_error("cannot bring it back");
        events.push_back("back " + file);
    });
    QObject::connect(&session, &TGradingSession::DeletionRedone,
                     [&](const QString& file) { events.push_back("again " + file); });

    const int steps = session.History().UndoCount();
    EXPECT_THROW(session.Undo(), std::runtime_error);
    EXPECT_EQ(session.History().UndoCount(), steps);
    EXPECT_TRUE(session.Reference().isEmpty());
    EXPECT_TRUE(events.empty());

    fail = false;
    session.Undo();
    session.Redo();
    EXPECT_EQ(events, (std::vector<QString>{"back warm.jpg", "look warm.jpg", "again warm.jpg", "look "}));
    QObject::disconnect(connection);
}

}  // namespace
