#include "System/Resource/Feeds/MediaRssSerializer.h"

#include "System/Xml/XmlDoc.h"
#include "support/Text.h"

#include <gtest/gtest.h>

#include <string>

namespace System::Resource::Feeds {
namespace {

using TestSupport::Text;
using Xml::XmlDoc;
using Xml::XmlNode;

// Every content attribute, which the room writes, and a sample of the optional and
// nested elements a stored catalogue may hold.
MediaGroup FullGroup() {
    MediaGroup group;
    group.mRating.mScheme = "rs";
    group.mRating.mText = "rating";
    group.mTitle.mType = "plain";
    group.mTitle.mText = "title";
    MediaThumbnail thumbnail;
    thumbnail.mUrl = "thumb";
    thumbnail.mHeight = 90;
    thumbnail.mWidth = 120;
    thumbnail.mTime = "12:05";
    group.mThumbnails.Add(thumbnail);
    group.mThumbnails.Add(MediaThumbnail());
    MediaCredit credit;
    credit.mRole = "author";
    credit.mScheme = "crs";
    credit.mText = "credit";
    group.mCredits.Add(credit);
    MediaContent content;
    content.mUrl = "photo.jpg";
    content.mFileSize = 123456;
    content.mType = "image/jpeg";
    content.mMedium = "image";
    content.mIsDefault = true;
    content.mExpression = "full";
    content.mBitrate = "128";
    content.mFramerate = "25";
    content.mSamplingrate = "44.1";
    content.mChannels = "2";
    content.mDuration = 61;
    content.mHeight = 480;
    content.mWidth = 640;
    content.mLang = "de";
    content.mKeywords = "kw";
    group.mContents.Add(content);
    group.mContents.Add(MediaContent());
    group.mComments.mComments.Add("first & best");
    group.mComments.mComments.Add("second");
    group.mEmbed.mUrl = "embed";
    group.mEmbed.mHeight = 3;
    group.mEmbed.mWidth = 4;
    MediaParam param;
    param.mName = "p";
    param.mValue = "v";
    group.mEmbed.mParams.Add(param);
    group.mEmbed.mParams.Add(MediaParam());
    group.mLocation.mDescription = "never written";
    MediaScene scene;
    scene.mTitle = "st";
    scene.mDescription = "sd";
    scene.mStartTime = "s0";
    scene.mEndTime = "s1";
    group.mScenes.mScenes.Add(scene);
    group.mScenes.mScenes.Add(MediaScene());
    return group;
}

const char* const kFullGroup =
    "<group xmlns=\"http://search.yahoo.com/mrss/\">"
    "<credit role=\"author\" scheme=\"crs\">credit</credit>"
    "<rating scheme=\"rs\">rating</rating>"
    "<thumbnail height=\"90\" time=\"12:05\" url=\"thumb\" width=\"120\" />"
    "<thumbnail />"
    "<title type=\"plain\">title</title>"
    "<content bitrate=\"128\" channels=\"2\" duration=\"61\" expression=\"full\" "
    "fileSize=\"123456\" framerate=\"25\" height=\"480\" isDefault=\"true\" lang=\"de\" "
    "medium=\"image\" samplingrate=\"44.1\" type=\"image/jpeg\" url=\"photo.jpg\" "
    "width=\"640\"><keywords>kw</keywords></content><content />"
    "<comments><comment>first &#38; best</comment><comment>second</comment></comments>"
    "<embed height=\"3\" url=\"embed\" width=\"4\"><param name=\"p\">v</param><param />"
    "</embed>"
    "<scenes><scene><sceneDescription>sd</sceneDescription>"
    "<sceneEndTime>s1</sceneEndTime><sceneStartTime>s0</sceneStartTime>"
    "<sceneTitle>st</sceneTitle></scene><scene /></scenes>"
    "</group>";

TEST(MediaRssSerializer, LeavesOutWhatIsNotSet) {
    MediaGroup group;
    group.mStatus.mReason = "reason without state";
    group.mPrice.mCurrency = "EUR";
    group.mLicense.mHref = "href without text";
    group.mPeerLink.mType = "type";
    group.mEmbed.mHeight = 5;
    group.mPlayer.mWidth = 5;
    group.mTitle.mType = "plain";
    group.mLocation.mStart = "start";
    MediaContent content;
    content.mHeight = -1;
    content.mWidth = 0;
    content.mDuration = -5;
    content.mFileSize = 0;
    group.mContents.Add(content);
    EXPECT_EQ(Text(MediaRssSerializer().Serialize(group).ToString(false)),
              "<group xmlns=\"http://search.yahoo.com/mrss/\"><content /></group>");
}

TEST(MediaRssSerializer, WritesEveryFieldInItsPlaceAndOrderAndReadsItBack) {
    MediaRssSerializer serializer;
    EXPECT_EQ(Text(serializer.Serialize(MediaGroup()).ToString(false)),
              "<group xmlns=\"http://search.yahoo.com/mrss/\" />");
    EXPECT_EQ(Text(serializer.Serialize(FullGroup()).ToString(false)), kFullGroup);
    XmlDoc doc;
    XmlNode* root = doc.Load(serializer.Serialize(FullGroup()).ToString(true));
    ASSERT_NE(root, nullptr);
    const MediaGroup group = serializer.Deserialize(*root);
    // The writer's places are pinned above, so writing the read group again shows that every
    // field was read back into the field it came from.
    EXPECT_EQ(Text(serializer.Serialize(group).ToString(false)), kFullGroup);
}

}  // namespace
}  // namespace System::Resource::Feeds
